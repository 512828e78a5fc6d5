// apps/colorbal/interrupt.h
// SIGINT, SIGTERM and SIGHUP while the program runs: the handlers only
// record the signal, and the running search notices it at its next
// attention check, so that every camera and file is put back or removed by
// the normal unwinding before the program exits with 128 + the signal.
#pragma once

#include <array>
#include <csignal>
#include <stdexcept>
#include <string>

#include "toolkit/sys/attention.h"

// The first of SIGINT, SIGTERM and SIGHUP received since the handlers were
// installed (0 if none). Async-signal-safe.
int kfPendingSignal() noexcept;

// The exit status of a run ended by `signal`: 128 + signal.
constexpr int kfExitStatusForSignal(int signal) { return 128 + signal; }

// "SIGINT", "SIGTERM", "SIGHUP", else "signal N".
std::string kfSignalName(int signal);

// Installs the recording handlers for SIGINT, SIGTERM and SIGHUP for its
// lifetime and puts the previous actions back when destroyed. While they
// are installed, further signals are recorded too and never end the
// process, so a restore under way is not cut short.
class kcInterruptHandlers {
public:
    kcInterruptHandlers();
    ~kcInterruptHandlers();
    kcInterruptHandlers(const kcInterruptHandlers&) = delete;
    kcInterruptHandlers& operator=(const kcInterruptHandlers&) = delete;

private:
    std::array<struct sigaction, 3> previous_{};
};

// A run stopped by a signal; what() is the program's one line: the
// signal, then `outcome` (what became of the run).
class kcInterrupted : public std::runtime_error {
public:
    kcInterrupted(int signal, const std::string& outcome);
    int signal() const { return signal_; }

private:
    int signal_;
};

// Throws kcInterrupted(signal, outcome) when a signal is pending.
void kfThrowIfInterrupted(const std::string& outcome);

// Reports a pending signal through the toolkit's attention check for its
// lifetime, so that a running search stops at its next check.
class kcInterruptAttention {
public:
    kcInterruptAttention();

private:
    kcScopedAttentionHandler scope_;
};
