// apps/colorbal/interrupt.cpp
#include "apps/colorbal/interrupt.h"

#include <atomic>

namespace {

constexpr std::array<int, 3> kSignals = {SIGINT, SIGTERM, SIGHUP};

// Lock-free, so that the handler may store into it.
std::atomic<int> pendingSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void recordSignal(int signal) {
    // Only the first signal counts; later ones are recorded as seen.
    int none = 0;
    pendingSignal.compare_exchange_strong(none, signal);
}

}  // namespace

int kfPendingSignal() noexcept { return pendingSignal.load(); }

std::string kfSignalName(int signal) {
    switch (signal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "signal " + std::to_string(signal);
    }
}

kcInterruptHandlers::kcInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = recordSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: a camera being restored keeps
    // talking to the camera.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &previous_[i]);
}

kcInterruptHandlers::~kcInterruptHandlers() {
    for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
}

kcInterrupted::kcInterrupted(int signal, const std::string& outcome)
    : std::runtime_error("interrupted by " + kfSignalName(signal) + ": " + outcome), signal_(signal) {}

void kfThrowIfInterrupted(const std::string& outcome) {
    if (const int signal = kfPendingSignal(); signal != 0) throw kcInterrupted(signal, outcome);
}

kcInterruptAttention::kcInterruptAttention() : scope_([] { return static_cast<long>(kfPendingSignal()); }) {}
