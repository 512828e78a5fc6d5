// toolkit/sys/attention.cpp
#include "toolkit/sys/attention.h"

#include <mutex>
#include <utility>

namespace {
struct AttentionHook {
    std::mutex mutex;
    kcAttentionHandler handler;
};

AttentionHook& hook() {
    static AttentionHook instance;
    return instance;
}
}  // namespace

long ksys_attention_check() {
    kcAttentionHandler handler;
    {
        std::lock_guard<std::mutex> lock(hook().mutex);
        handler = hook().handler;
    }
    return handler ? handler() : 0;
}

kcAttentionHandler ksys_set_attention_handler(kcAttentionHandler handler) {
    std::lock_guard<std::mutex> lock(hook().mutex);
    std::swap(hook().handler, handler);
    return handler;
}

kcScopedAttentionHandler::kcScopedAttentionHandler(kcAttentionHandler handler)
    : previous_(ksys_set_attention_handler(std::move(handler))) {}

kcScopedAttentionHandler::~kcScopedAttentionHandler() { ksys_set_attention_handler(std::move(previous_)); }
