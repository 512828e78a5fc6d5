// python/src/py_errors.h
// The package's Python types (Settings and the exceptions, defined in
// colorbal/_types.py) as the module sees them, and the translation of the
// toolkit's and the program's errors into Python exceptions.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

namespace py = pybind11;

// Imports colorbal._types and keeps its classes for the module's lifetime;
// called once when the module is loaded.
void kfLoadPythonTypes();

// The classes of colorbal._types.
py::handle kfSettingsType();
py::handle kfErrorType();
py::handle kfBadParamsType();
py::handle kfAcquisitionErrorType();

// Registers the translation of C++ exceptions: BadParams to
// colorbal.BadParams, kcTimeout::Expired to TimeoutError, kcBadArgument and
// the program's input errors to ValueError, its output errors to OSError,
// every other toolkit error to colorbal.Error.
void kfRegisterErrorTranslation();

// Raises `type(message)` with `result` attached as its `result` attribute.
[[noreturn]] void kfRaiseWithResult(py::handle type, const std::string& message, const py::object& result);
