// python/src/py_records.h
// Python's view of the records: Settings (a named tuple), Params (the
// library's kcColorBalanceParams) and Result (a kcColorBalanceResult with
// the diagnostics records of its run).
#pragma once

#include <pybind11/pybind11.h>

#include "clbl/result.h"
#include "toolkit/camera/color_camera_settings.h"

namespace py = pybind11;

// A colorbal.Settings of these values.
py::object kfToSettings(const kcColorCameraSettings& settings);
// Any sequence of three numbers; TypeError naming `what` otherwise.
kcColorCameraSettings kfFromSettings(const py::handle& settings, const char* what);

// colorbal.Result.
struct kcPyResult {
    kcColorBalanceResult record;
    // Diagnostics records of the run, as a list of dicts; empty unless the
    // run was asked for them.
    py::list diagnostics;
};
