#include "py_interrupt.h"

#include <csignal>
#include <utility>

namespace {
// Touched only on the main thread with the GIL held. Never destroyed: its
// Python objects must not be released after the interpreter has gone.
struct State {
    unsigned long mainThread = 0;
    bool installed = false;      // the recorder is SIGINT's handler
    bool requested = false;      // a Ctrl-C not yet passed on
    bool interruptible = false;  // grab() runs
    py::object previous;         // the handler the recorder replaced
    py::object recorder;
};

State& state() {
    static State* const instance = new State();
    return *instance;
}

bool onMainThread() { return PyThread_get_thread_ident() == state().mainThread; }

py::object currentFrame() {
    PyFrameObject* frame = PyEval_GetFrame();
    return frame != nullptr ? py::reinterpret_borrow<py::object>(reinterpret_cast<PyObject*>(frame)) : py::none();
}

// Calls the previous handler for the recorded request.
void passOn(const py::object& frame) {
    State& s = state();
    if (!s.requested) return;
    s.requested = false;
    s.previous(static_cast<int>(SIGINT), frame);
}

void record(int /*signum*/, const py::object& frame) {
    State& s = state();
    if (s.interruptible && s.requested) {
        passOn(frame);
        return;
    }
    s.requested = true;
}
}  // namespace

void kfRecordMainThread() {
    state().mainThread = py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();
}

kcDeferredInterrupt::kcDeferredInterrupt() {
    State& s = state();
    if (!onMainThread() || s.installed) return;
    const py::module_ signal = py::module_::import("signal");
    py::object current = signal.attr("getsignal")(static_cast<int>(SIGINT));
    // SIG_IGN and SIG_DFL are numbers, and a handler set from C reads None:
    // Python runs no handler of its own for those.
    if (!PyCallable_Check(current.ptr())) return;
    if (!s.recorder) s.recorder = py::cpp_function(&record, py::arg("signum"), py::arg("frame"));
    signal.attr("signal")(static_cast<int>(SIGINT), s.recorder);
    s.previous = std::move(current);
    s.installed = true;
    s.requested = false;
    owner_ = true;
}

kcDeferredInterrupt::~kcDeferredInterrupt() {
    if (!owner_) return;
    // Still installed only when deliver() was not called: a request
    // recorded meanwhile reaches the handler at Python's next chance.
    const bool requested = std::exchange(state().requested, false);
    try {
        uninstall();
    } catch (py::error_already_set& e) {
        e.discard_as_unraisable("putting back the SIGINT handler");
    }
    if (requested) PyErr_SetInterrupt();
}

void kcDeferredInterrupt::uninstall() {
    if (!owner_) return;
    owner_ = false;
    State& s = state();
    s.installed = false;
    const py::object previous = std::exchange(s.previous, py::object());
    const py::module_ signal = py::module_::import("signal");
    // A handler that someone installed meanwhile stays.
    if (signal.attr("getsignal")(static_cast<int>(SIGINT)).is(s.recorder))
        signal.attr("signal")(static_cast<int>(SIGINT), previous);
}

void kcDeferredInterrupt::check() {
    if (!onMainThread()) return;
    py::gil_scoped_acquire gil;
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    if (state().installed) passOn(currentFrame());
}

void kcDeferredInterrupt::deliver(const py::error_already_set* failure) {
    if (!owner_) return;
    const bool requested = std::exchange(state().requested, false);
    uninstall();
    if (!requested) return;
    // As for a signal that has just arrived: Python calls the handler now
    // installed with the caller's frame.
    PyErr_SetInterrupt();
    if (PyErr_CheckSignals() == 0) return;
    py::error_already_set raised;
    if (failure != nullptr) PyException_SetContext(raised.value().ptr(), failure->value().inc_ref().ptr());
    throw raised;
}

kcInterruptibleCall::kcInterruptibleCall() : previous_(std::exchange(state().interruptible, onMainThread())) {}

kcInterruptibleCall::~kcInterruptibleCall() { state().interruptible = previous_; }
