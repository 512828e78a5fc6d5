// python/src/module.cpp
// The extension module colorbal._colorbal; the package colorbal re-exports
// it beside the plain Python types of colorbal._types.
#include <pybind11/pybind11.h>

#include <chrono>
#include <mutex>

#include "py_cameras.h"
#include "py_errors.h"
#include "py_module.h"

std::recursive_timed_mutex& kfModuleLock() {
    static std::recursive_timed_mutex lock;
    return lock;
}

std::unique_lock<std::recursive_timed_mutex> kfLockModule() {
    // How often a waiting thread looks for signals: short enough for Ctrl-C
    // to feel immediate, long enough to cost nothing.
    constexpr std::chrono::milliseconds kSignalCheck{50};
    std::unique_lock<std::recursive_timed_mutex> lock(kfModuleLock(), std::try_to_lock);
    while (!lock.owns_lock()) {
        {
            py::gil_scoped_release release;
            if (lock.try_lock_for(kSignalCheck)) break;
        }
        if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    }
    return lock;
}

PYBIND11_MODULE(_colorbal, m) {
    m.doc() = "The compiled part of the colorbal package; import colorbal instead.";
    kfLoadPythonTypes();
    kfRegisterErrorTranslation();
    kfBindRecords(m);
    kfBindCameras(m);
    kfBindSearch(m);
    // Users meet these as colorbal.X, which is also where help() and repr
    // should send them.
    for (const char* name : {"Params", "Result", "Camera", "SimCamera", "Tool", "balance"})
        m.attr(name).attr("__module__") = "colorbal";
    if (py::hasattr(m, "GenICamCamera")) m.attr("GenICamCamera").attr("__module__") = "colorbal";
}
