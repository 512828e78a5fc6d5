// python/src/py_module.h
// The module's one lock. The library takes no lock, and the colour steps of
// all tools share two process-wide tables, so tool steps, balance runs and
// camera calls are serialised here. It is taken only with the GIL released
// (so a thread waiting for it never blocks one that needs the GIL), and it
// is recursive, so a camera method that calls the module again on the same
// thread does not deadlock.
#pragma once

#include <pybind11/pybind11.h>

#include <mutex>
#include <utility>

namespace py = pybind11;

std::recursive_mutex& kfModuleLock();

// Runs `work` with the GIL released and the module lock held.
template <class Work>
auto kfWithModuleLock(Work&& work) {
    py::gil_scoped_release release;
    std::lock_guard<std::recursive_mutex> lock(kfModuleLock());
    return std::forward<Work>(work)();
}

// Adds the records (Params, Result), Tool and balance to the module.
void kfBindRecords(py::module_& m);
void kfBindSearch(py::module_& m);
