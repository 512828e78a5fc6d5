// python/src/py_errors.cpp
#include "py_errors.h"

#include "apps/colorbal/app_errors.h"
#include "clbl/defs.h"
#include "toolkit/foundation/exceptions.h"

namespace {
// Held for the life of the process: the classes must outlive every module
// object that could raise them, and are never released at interpreter exit.
struct PythonTypes {
    py::handle settings;
    py::handle error;
    py::handle badParams;
    py::handle acquisitionError;
};

PythonTypes& types() {
    static PythonTypes instance;
    return instance;
}

py::handle keep(const py::module_& from, const char* name) { return py::object(from.attr(name)).release(); }
}  // namespace

void kfLoadPythonTypes() {
    const py::module_ plain = py::module_::import("colorbal._types");
    types().settings = keep(plain, "Settings");
    types().error = keep(plain, "Error");
    types().badParams = keep(plain, "BadParams");
    types().acquisitionError = keep(plain, "AcquisitionError");
}

py::handle kfSettingsType() { return types().settings; }
py::handle kfErrorType() { return types().error; }
py::handle kfBadParamsType() { return types().badParams; }
py::handle kfAcquisitionErrorType() { return types().acquisitionError; }

void kfRegisterErrorTranslation() {
    py::register_exception_translator([](std::exception_ptr thrown) {
        if (!thrown) return;
        try {
            std::rethrow_exception(thrown);
        } catch (const kcColorBalanceDefs::BadParams& e) {
            PyErr_SetString(kfBadParamsType().ptr(), e.what());
        } catch (const kcTimeout::Expired& e) {
            PyErr_SetString(PyExc_TimeoutError, e.what());
        } catch (const kcBadArgument& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const kcException& e) {
            PyErr_SetString(kfErrorType().ptr(), e.what());
        } catch (const kcUsageError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const kcRunError& e) {
            PyErr_SetString(PyExc_OSError, e.what());
        }
    });
}

void kfRaiseWithResult(py::handle type, const std::string& message, const py::object& result) {
    py::object error = type(message);
    error.attr("result") = result;
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}
