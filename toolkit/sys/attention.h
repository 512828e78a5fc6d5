// toolkit/sys/attention.h
// The system attention check that long-running operations poll, and the
// process-wide hook through which a program or test decides what it reports.
#pragma once

#include <functional>

#include "toolkit/foundation/export.h"

// What the attention check reports: 0 for "carry on", any other value is a
// failure status (pass it to kfThrowExceptionOnFailure).
using kcAttentionHandler = std::function<long()>;

// Returns 0, or what the installed handler returns.
KC_EXPORT long ksys_attention_check();

// Installs `handler` for the whole process (an empty one restores the
// default, which always reports 0) and returns the handler it replaces.
// Thread-safe; the handler itself is called without any lock held.
KC_EXPORT kcAttentionHandler ksys_set_attention_handler(kcAttentionHandler handler);

// Installs a handler for its lifetime and puts the previous one back when
// destroyed. Scopes must end in the reverse order of their creation.
class KC_EXPORT kcScopedAttentionHandler {
public:
    explicit kcScopedAttentionHandler(kcAttentionHandler handler);
    ~kcScopedAttentionHandler();
    kcScopedAttentionHandler(const kcScopedAttentionHandler&) = delete;
    kcScopedAttentionHandler& operator=(const kcScopedAttentionHandler&) = delete;

private:
    kcAttentionHandler previous_;
};
