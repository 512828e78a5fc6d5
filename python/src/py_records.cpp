// python/src/py_records.cpp
#include "py_records.h"

#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cerrno>
#include <cmath>
#include <filesystem>
#include <string>

#include "apps/colorbal/archive_files.h"
#include "clbl/defs.h"
#include "clbl/params.h"
#include "py_cameras.h"
#include "py_errors.h"
#include "py_interrupt.h"
#include "py_module.h"

namespace {
std::string repr(double value) { return py::repr(py::float_(value)); }
const char* boolText(bool value) { return value ? "True" : "False"; }

double number(const py::handle& value, const char* what) {
    if (!PyNumber_Check(value.ptr()) || PyBool_Check(value.ptr()))
        throw py::type_error(std::string(what) + " must be a number, not " +
                             std::string(py::str(py::type::handle_of(value).attr("__name__"))));
    return value.cast<double>();
}

bool flag(const py::handle& value, const char* what) {
    if (!PyBool_Check(value.ptr()))
        throw py::type_error(std::string(what) + " must be True or False, not " +
                             std::string(py::str(py::type::handle_of(value).attr("__name__"))));
    return value.cast<bool>();
}

kcRange rangeFrom(const py::handle& value) {
    if (!PySequence_Check(value.ptr()) || py::isinstance<py::str>(value) || py::len(value) != 2)
        throw py::type_error("exposure_range must be a pair (start, end) of numbers");
    const auto pair = py::reinterpret_borrow<py::sequence>(value);
    const double start = number(pair[0], "exposure_range start");
    const double end = number(pair[1], "exposure_range end");
    // The library takes any range; one that no camera can be set to is
    // refused here, as the program refuses it.
    if (!std::isfinite(start) || !std::isfinite(end) || !(start > 0.0) || !(start <= end)) {
        const std::string text = "exposure_range (" + repr(start) + ", " + repr(end) +
                                 ") is not usable: it needs 0 < start <= end, both finite";
        throw kcColorBalanceDefs::BadParams(std::wstring(text.begin(), text.end()));
    }
    return kcRange(start, end);
}

// Reading a missing file is the operating system's error, not bad content.
void requireFile(const std::filesystem::path& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        py::object error = py::module_::import("builtins")
                               .attr("FileNotFoundError")(ENOENT, "No such file or directory", path.string());
        PyErr_SetObject(PyExc_FileNotFoundError, error.ptr());
        throw py::error_already_set();
    }
}

kcArchiveFileContents readFile(const std::filesystem::path& path, kcArchiveFileContents::Kind kind) {
    requireFile(path);
    kcArchiveFileContents contents = kfReadArchiveFile(path.string());
    if (contents.kind != kind)
        throw py::value_error("'" + path.string() + "' is a " +
                              (contents.kind == kcArchiveFileContents::eParams ? "parameter" : "result") +
                              " archive, not a " + (kind == kcArchiveFileContents::eParams ? "parameter" : "result") +
                              " archive");
    return contents;
}

std::string paramsRepr(const kcColorBalanceParams& p) {
    return "Params(exposure_range=(" + repr(p.exposureRange().start()) + ", " + repr(p.exposureRange().end()) +
           "), vary_exposure=" + boolText(p.isExposureEnabled()) +
           ", vary_contrast=" + boolText(p.isContrastEnabled()) +
           ", vary_brightness=" + boolText(p.isBrightnessEnabled()) +
           ", exposure_step=" + repr(p.minExposureStepSize()) + ", contrast_step=" + repr(p.minContrastStepSize()) +
           ", brightness_step=" + repr(p.minBrightnessStepSize()) +
           ", positive_lut=" + boolText(p.usePositive8BitLut()) + ")";
}

kcColorCameraSettings settingsOf(const kcColorBalanceResult& r) {
    return kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness());
}
}  // namespace

py::object kfToSettings(const kcColorCameraSettings& s) {
    return kfSettingsType()(s.exposure(), s.contrast(), s.brightness());
}

kcColorCameraSettings kfFromSettings(const py::handle& settings, const char* what) {
    if (!PySequence_Check(settings.ptr()) || py::isinstance<py::str>(settings) || py::len(settings) != 3)
        throw py::type_error(std::string(what) + " must be Settings(exposure, contrast, brightness)");
    const auto values = py::reinterpret_borrow<py::sequence>(settings);
    return kcColorCameraSettings(number(values[0], "exposure"), number(values[1], "contrast"),
                                 number(values[2], "brightness"));
}

void kfBindRecords(py::module_& m) {
    py::class_<kcColorBalanceParams> params(m, "Params", R"doc(
What a search may change and how finely, as keyword arguments and
properties; an argument left out or None keeps the library's default.

- ``exposure_range``: (start, end) in seconds, 0 < start <= end, default
  (1e-06, 0.3);
- ``vary_exposure``, ``vary_contrast``, ``vary_brightness``: which settings
  the search may change, default all;
- ``exposure_step``, ``contrast_step``, ``brightness_step``: proposed
  settings are rounded to multiples of these (0: no rounding); default 0 for
  the exposure and 2**-10 for the others, which must lie in 0..0.5;
- ``positive_lut``: install the identity input LUT while balancing, default
  True.

A rejected value raises BadParams with the library's message and leaves the
parameters unchanged.
)doc");
    params
        .def(py::init([](const py::object& range, const py::object& varyExposure, const py::object& varyContrast,
                         const py::object& varyBrightness, const py::object& exposureStep,
                         const py::object& contrastStep, const py::object& brightnessStep,
                         const py::object& positiveLut) {
                 kcColorBalanceParams p;
                 if (!range.is_none()) p.exposureRange(rangeFrom(range));
                 if (!varyExposure.is_none()) p.isExposureEnabled(flag(varyExposure, "vary_exposure"));
                 if (!varyContrast.is_none()) p.isContrastEnabled(flag(varyContrast, "vary_contrast"));
                 if (!varyBrightness.is_none()) p.isBrightnessEnabled(flag(varyBrightness, "vary_brightness"));
                 if (!exposureStep.is_none()) p.minExposureStepSize(number(exposureStep, "exposure_step"));
                 if (!contrastStep.is_none()) p.minContrastStepSize(number(contrastStep, "contrast_step"));
                 if (!brightnessStep.is_none()) p.minBrightnessStepSize(number(brightnessStep, "brightness_step"));
                 if (!positiveLut.is_none()) p.usePositive8BitLut(flag(positiveLut, "positive_lut"));
                 return p;
             }),
             py::kw_only(), py::arg("exposure_range") = py::none(), py::arg("vary_exposure") = py::none(),
             py::arg("vary_contrast") = py::none(), py::arg("vary_brightness") = py::none(),
             py::arg("exposure_step") = py::none(), py::arg("contrast_step") = py::none(),
             py::arg("brightness_step") = py::none(), py::arg("positive_lut") = py::none())
        .def_property(
            "exposure_range",
            [](const kcColorBalanceParams& p) {
                return py::make_tuple(p.exposureRange().start(), p.exposureRange().end());
            },
            [](kcColorBalanceParams& p, const py::object& v) { p.exposureRange(rangeFrom(v)); })
        .def_property(
            "vary_exposure", [](const kcColorBalanceParams& p) { return p.isExposureEnabled(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.isExposureEnabled(flag(v, "vary_exposure")); })
        .def_property(
            "vary_contrast", [](const kcColorBalanceParams& p) { return p.isContrastEnabled(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.isContrastEnabled(flag(v, "vary_contrast")); })
        .def_property(
            "vary_brightness", [](const kcColorBalanceParams& p) { return p.isBrightnessEnabled(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.isBrightnessEnabled(flag(v, "vary_brightness")); })
        .def_property(
            "exposure_step", [](const kcColorBalanceParams& p) { return p.minExposureStepSize(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.minExposureStepSize(number(v, "exposure_step")); })
        .def_property(
            "contrast_step", [](const kcColorBalanceParams& p) { return p.minContrastStepSize(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.minContrastStepSize(number(v, "contrast_step")); })
        .def_property(
            "brightness_step", [](const kcColorBalanceParams& p) { return p.minBrightnessStepSize(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.minBrightnessStepSize(number(v, "brightness_step")); })
        .def_property(
            "positive_lut", [](const kcColorBalanceParams& p) { return p.usePositive8BitLut(); },
            [](kcColorBalanceParams& p, const py::object& v) { p.usePositive8BitLut(flag(v, "positive_lut")); })
        .def(
            "__eq__",
            [](const kcColorBalanceParams& a, const py::object& b) -> py::object {
                if (!py::isinstance<kcColorBalanceParams>(b))
                    return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                return py::bool_(a == b.cast<const kcColorBalanceParams&>());
            },
            py::is_operator())
        .def("__repr__", &paramsRepr)
        .def(
            "save",
            [](const kcColorBalanceParams& p, const std::filesystem::path& path) {
                kfWriteParamsFile(path.string(), p);
            },
            py::arg("path"),
            "Stores the parameters in a file the colorbal program reads (`colorbal show`, `--params`);\n"
            "the file appears whole or not at all. OSError when it cannot be written.")
        .def_static(
            "load",
            [](const std::filesystem::path& path) { return readFile(path, kcArchiveFileContents::eParams).params; },
            py::arg("path"),
            "Reads parameters stored by Params.save or the colorbal program (`--save-params`).\n"
            "ValueError for a file that is not a parameter archive, truncated or corrupted.");
    params.attr("__hash__") = py::none();

    py::class_<kcPyResult>(m, "Result", R"doc(
What a balancing run found: ``settings`` (a Settings), ``positive_lut``
(the camera's input LUT was the identity at the end of the search), and the
last acquisition's ``acquisition_number`` and ``failure_code``. Results
compare equal when their settings and LUT flag are. ``diagnostics`` holds,
for a run asked for them, the records of the result images: dicts with
"annotation", "image" (a numpy array) and "text" (the lines drawn on it).
)doc")
        .def(py::init([](const py::object& settings, bool positiveLut) {
                 auto* result = new kcPyResult;
                 const kcColorCameraSettings s = kfFromSettings(settings, "settings");
                 result->record.exposure(s.exposure());
                 result->record.contrast(s.contrast());
                 result->record.brightness(s.brightness());
                 result->record.positive8BitLut(positiveLut);
                 return result;
             }),
             py::arg("settings"), py::arg("positive_lut") = false)
        .def_property_readonly("settings", [](const kcPyResult& r) { return kfToSettings(settingsOf(r.record)); })
        .def_property_readonly("positive_lut", [](const kcPyResult& r) { return r.record.positive8BitLut(); })
        .def_property_readonly("acquisition_number",
                               [](const kcPyResult& r) { return r.record.acqInfo().acquisitionNumber(); })
        .def_property_readonly("failure_code", [](const kcPyResult& r) { return r.record.acqInfo().failure().code(); })
        .def_readonly("diagnostics", &kcPyResult::diagnostics)
        .def(
            "__eq__",
            [](const kcPyResult& a, const py::object& b) -> py::object {
                if (!py::isinstance<kcPyResult>(b)) return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                return py::bool_(a.record == b.cast<const kcPyResult&>().record);
            },
            py::is_operator())
        .def("__repr__",
             [](const kcPyResult& r) {
                 return "Result(settings=" + std::string(py::repr(kfToSettings(settingsOf(r.record)))) +
                        ", positive_lut=" + boolText(r.record.positive8BitLut()) + ")";
             })
        .def(
            "save",
            [](const kcPyResult& r, const std::filesystem::path& path) { kfWriteResultFile(path.string(), r.record); },
            py::arg("path"),
            "Stores the result in a file the colorbal program reads (`colorbal show`); the file appears\n"
            "whole or not at all. OSError when it cannot be written.")
        .def_static(
            "load",
            [](const std::filesystem::path& path) {
                kcPyResult result;
                result.record = readFile(path, kcArchiveFileContents::eResult).result;
                return result;
            },
            py::arg("path"),
            "Reads a result stored by Result.save or the colorbal program (`--save-result`).\n"
            "ValueError for a file that is not a result archive, truncated or corrupted.")
        .def(
            "apply",
            [](const kcPyResult& r, const py::object& camera) {
                if (!py::isinstance<kcPyCamera>(camera))
                    throw py::type_error("camera must be a colorbal.Camera, not " +
                                         std::string(py::str(py::type::handle_of(camera).attr("__name__"))));
                const kcOpenedCamera opened = camera.cast<kcPyCamera&>().open(camera);
                // Ctrl-C never leaves the camera half written: it is passed
                // on once every setting is.
                const std::unique_lock<std::recursive_timed_mutex> lock = kfLockModule();
                kfDeferringCtrlC([&] {
                    py::gil_scoped_release release;
                    r.record.setFifoProperties(opened.fifo);
                });
            },
            py::arg("camera"), "Writes the settings to the camera, and the identity LUT when positive_lut is set.");
    m.attr("Result").attr("__hash__") = py::none();
}
