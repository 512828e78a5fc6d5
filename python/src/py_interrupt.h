// python/src/py_interrupt.h
// Ctrl-C during balance. Python raises KeyboardInterrupt wherever its
// SIGINT handler runs next, which may be inside a camera method that puts
// the camera back; cut short there, the camera would not be handed back as
// found. While a balance runs on the main thread, SIGINT therefore only
// records the request. The search's stop check passes it to the handler
// that was installed before (Python's default one raises KeyboardInterrupt
// there, and the driver restores the camera while it passes); a request
// recorded later, during the restore, is passed on when the balance ends.
// Off the main thread Python delivers no signals and nothing changes.
#pragma once

#include <pybind11/pybind11.h>

#include <utility>

namespace py = pybind11;

// Records the main thread's identity; called once when the module is loaded.
void kfRecordMainThread();

// Scope of one balance call; constructed and destroyed with the GIL held.
// On the main thread with a Python SIGINT handler it installs the recorder
// (an ignored or default OS SIGINT is left as it is). A balance nested in
// another (run from a camera method) shares the outer one's recorder.
class kcDeferredInterrupt {
public:
    kcDeferredInterrupt();
    ~kcDeferredInterrupt();
    kcDeferredInterrupt(const kcDeferredInterrupt&) = delete;
    kcDeferredInterrupt& operator=(const kcDeferredInterrupt&) = delete;

    // For the stop check: runs Python's pending signal handlers and passes
    // a recorded Ctrl-C to the previous handler. Throws error_already_set
    // when one of them raises. Does nothing off the main thread. Acquires
    // the GIL itself.
    static void check();

    // Puts the previous handler back and, when a Ctrl-C was recorded, lets
    // Python run it as for a signal that has just arrived. When it raises,
    // its exception is thrown as error_already_set, chained to `failure`
    // (the balance's own Python error) when given. Needs the GIL.
    void deliver(const py::error_already_set* failure = nullptr);

private:
    void uninstall();

    bool owner_ = false;
};

// Runs `work` with Ctrl-C deferred on the main thread: a request recorded
// while it runs reaches the SIGINT handler once it has ended, whichever way.
// Called with the GIL held.
template <class Work>
void kfDeferringCtrlC(Work&& work) {
    kcDeferredInterrupt interrupt;
    try {
        std::forward<Work>(work)();
    } catch (const py::error_already_set& failure) {
        interrupt.deliver(&failure);
        throw;
    } catch (...) {
        interrupt.deliver();
        throw;
    }
    interrupt.deliver();
}

// Marks a grab() call: the first Ctrl-C is only recorded, so that the image
// is delivered and the search stops at its next check, but a second one
// while grab() still runs (a camera that hangs) is passed on at once. What
// the handler raises leaves grab(), and the driver restores the camera.
// Needs the GIL.
class kcInterruptibleCall {
public:
    kcInterruptibleCall();
    ~kcInterruptibleCall();
    kcInterruptibleCall(const kcInterruptibleCall&) = delete;
    kcInterruptibleCall& operator=(const kcInterruptibleCall&) = delete;

private:
    bool previous_;
};
