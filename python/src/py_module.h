// python/src/py_module.h
// The module's one lock. The library takes no lock, and the colour steps of
// all tools share two process-wide tables, so tool steps, balance runs and
// camera calls are serialised here. It is waited for only with the GIL
// released (so a thread waiting for it never blocks one that needs the
// GIL), and it is recursive, so a camera method that calls the module again
// on the same thread does not deadlock.
#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <utility>

namespace py = pybind11;

std::recursive_timed_mutex& kfModuleLock();

// Takes the module lock; called with the GIL held. While another thread
// holds it (a balance on a slow camera), the wait releases the GIL and runs
// Python's signal handlers now and then, so Ctrl-C ends it on the main
// thread: what a handler raises is thrown as error_already_set.
std::unique_lock<std::recursive_timed_mutex> kfLockModule();

// Runs `work` with the GIL released and the module lock held.
template <class Work>
auto kfWithModuleLock(Work&& work) {
    std::unique_lock<std::recursive_timed_mutex> lock = kfLockModule();
    py::gil_scoped_release release;
    // Unlocked before the GIL is taken back.
    struct Unlock {
        std::unique_lock<std::recursive_timed_mutex>& lock;
        ~Unlock() { lock.unlock(); }
    } unlock{lock};
    return std::forward<Work>(work)();
}

// Adds the records (Params, Result), Tool and balance to the module.
void kfBindRecords(py::module_& m);
void kfBindSearch(py::module_& m);
