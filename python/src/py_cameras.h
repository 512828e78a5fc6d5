// python/src/py_cameras.h
// The cameras of the Python module: the base class colorbal.Camera, which
// a user subclasses in Python, and the simulated and GenICam cameras.
#pragma once

#include <pybind11/pybind11.h>

#include "py_python_fifo.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/foundation/ptr_handle.h"

namespace py = pybind11;

// A camera as one balance or apply call uses it.
struct kcOpenedCamera {
    kcPtrHandle<kcAcqFifo> fifo;
    kcCameraAxes axes;
    // The adapter of a camera written in Python, else null.
    kcPythonCameraFifo* python = nullptr;
};

// colorbal.Camera. A Python subclass is reached through a new
// kcPythonCameraFifo for each call; the module's own cameras override open.
class kcPyCamera {
public:
    kcPyCamera() = default;
    virtual ~kcPyCamera();
    kcPyCamera(const kcPyCamera&) = delete;
    kcPyCamera& operator=(const kcPyCamera&) = delete;

    // `self` is this camera's Python object. Needs the GIL.
    virtual kcOpenedCamera open(const py::object& self);
    // Around a balance run, with the module lock held and the GIL released.
    virtual void beginRun() {}
    virtual void endRun() noexcept {}
};

// Adds Camera, SimCamera and, where built, GenICamCamera to the module.
void kfBindCameras(py::module_& m);
