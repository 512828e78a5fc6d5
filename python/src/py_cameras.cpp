// python/src/py_cameras.cpp
#include "py_cameras.h"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "py_errors.h"
#include "py_images.h"
#include "py_module.h"
#include "toolkit/acq/acq_properties.h"
#include "toolkit/acq/acq_props.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/sim/sim_fifo.h"
#include "toolkit/sim/sim_scene.h"
#ifdef CLBL_WITH_GENICAM
#include "toolkit/acq/genicam/genicam_fifo.h"
#endif

namespace {
constexpr unsigned long kStartFlags = 0;  // start() flags word, reserved

// A camera of the module's own, over a C++ FIFO. Every call takes the
// module lock: the FIFO is not thread-safe.
class kcFifoCamera : public kcPyCamera {
public:
    kcOpenedCamera open(const py::object& /*self*/) override { return kcOpenedCamera{fifo_, axes_, nullptr}; }

    double getExposure() {
        return kfWithModuleLock([&] { return fifo_->properties().exposureProp().exposure(); });
    }
    void setExposure(double seconds) {
        kfWithModuleLock([&] { fifo_->properties().exposureProp().exposure(seconds); });
    }
    double getContrast() {
        return kfWithModuleLock(
            [&] { return fifo_->properties().contrastBrightnessProp().contrast(kcContrastBrightnessProp::eChannel0); });
    }
    void setContrast(double value) {
        kfWithModuleLock([&] {
            fifo_->properties().contrastBrightnessProp().setContrastEx(value, kcContrastBrightnessProp::kAllTaps);
        });
    }
    double getBrightness() {
        return kfWithModuleLock([&] {
            return fifo_->properties().contrastBrightnessProp().brightness(kcContrastBrightnessProp::eChannel0);
        });
    }
    void setBrightness(double value) {
        kfWithModuleLock([&] {
            fifo_->properties().contrastBrightnessProp().setBrightnessEx(value, kcContrastBrightnessProp::kAllTaps);
        });
    }
    py::array getLut() {
        const std::vector<unsigned char> lut = kfWithModuleLock(
            [&] { return fifo_->properties().inputLutProp().inputLut(kc8BitInputLutProp::eLutChannel0); });
        py::array_t<unsigned char> array(static_cast<py::ssize_t>(lut.size()));
        std::copy(lut.begin(), lut.end(), array.mutable_data());
        return array;
    }
    void setLut(const py::handle& table) {
        const std::vector<unsigned char> lut = kfLutFromPython(table, "LUT");
        kfWithModuleLock([&] { fifo_->properties().inputLutProp().inputLut(lut.data()); });
    }
    bool triggerEnabled() {
        return kfWithModuleLock([&] { return fifo_->triggerEnable(); });
    }
    std::string triggerModel() {
        return kfWithModuleLock([&] { return fifo_->triggerModel().name(); });
    }

    // One image as it comes; AcquisitionError when the acquisition fails.
    py::array grab() {
        kcAcquireInfo info;
        const kcPtrHandle<kcAcqImage> image = kfWithModuleLock([&] {
            fifo_->start(kStartFlags);
            kcAcqFifo::CompleteArgs args;
            args.acqInfo = &info;
            kcPtrHandle<kcAcqImage> delivered = fifo_->completeAcq(args);
            if (!delivered) throw kcBadPointer(L"the camera returned no image handle");
            return delivered;
        });
        const long code = info.failure().code();
        if (code != 0 || !image->isBound()) {
            const std::string text =
                code != 0 ? "acquisition failed with code " + std::to_string(code) : "acquisition delivered no image";
            PyErr_SetObject(kfAcquisitionErrorType().ptr(), kfAcquisitionErrorType()(code, text).ptr());
            throw py::error_already_set();
        }
        if (image->format() == eImageFormatGrey8) return kfArrayFromGrey(image->getGrey8PelBuffer());
        return kfArrayFromPlanes(image->get3PlanePelBuffer());
    }

protected:
    kcPtrHandle<kcAcqFifo> fifo_;
    kcCameraAxes axes_;
};

// colorbal.SimCamera.
class kcPySimCamera : public kcFifoCamera {
public:
    kcPySimCamera(kcSimScene scene, std::uint64_t seed, bool noise, const kcSimFifoOptions& options,
                  const kcSimFifoFaults& faults)
        : sim_(new kcSimFifo(kcSimCamera(std::move(scene), seed, noise), options)), faults_(faults) {
        // Checks the faults now rather than at the first balance.
        sim_->setFaults(faults_);
        sim_->setFaults(kcSimFifoFaults());
        fifo_ = sim_;
    }

    // Faults count from the start of each balance run.
    void beginRun() override { sim_->setFaults(faults_); }
    // The write log is the simulator's record for C++ tests; nothing reads
    // it here, so it is not left to grow run after run.
    void endRun() noexcept override {
        sim_->setFaults(kcSimFifoFaults());
        sim_->clearWriteLog();
    }

    unsigned long images() {
        return kfWithModuleLock([&] { return sim_->acquisitionCount(); });
    }
    std::pair<long, long> size() const { return {sim_->camera().width(), sim_->camera().height()}; }

private:
    kcPtrHandle<kcSimFifo> sim_;
    kcSimFifoFaults faults_;
};

kcSimScene sceneFrom(const py::object& scene, long width, long height) {
    if (py::isinstance<py::str>(scene)) {
        const std::string name = scene.cast<std::string>();
        for (const std::string& known : kcSimScene::builtInNames())
            if (known == name) return kcSimScene::builtIn(name, width, height);
    }
    if (py::isinstance<py::str>(scene) || py::hasattr(scene, "__fspath__"))
        return kcSimScene::fromPpm(scene.cast<std::filesystem::path>().string(), width, height);
    // An RGB array: its pels are the radiance, value / 255.
    const kcPtrHandle<kcAcqImage> image = kfImageFromArray(scene, "scene");
    const kc3PlanePelBuffer planes = image->get3PlanePelBuffer();
    std::vector<unsigned char> rgb(static_cast<std::size_t>(planes.width() * planes.height() * 3));
    const kcPelBuffer_const<unsigned char> source[3] = {planes.plane0(), planes.plane1(), planes.plane2()};
    for (long y = 0; y < planes.height(); ++y)
        for (int p = 0; p < 3; ++p) {
            const unsigned char* row = source[p].pointToRow(y);
            for (long x = 0; x < planes.width(); ++x)
                rgb[static_cast<std::size_t>((y * planes.width() + x) * 3 + p)] = row[x];
        }
    return kcSimScene::fromRgb8(rgb, planes.width(), planes.height(), width, height);
}

#ifdef CLBL_WITH_GENICAM
// colorbal.GenICamCamera.
class kcPyGenICamCamera : public kcFifoCamera {
public:
    explicit kcPyGenICamCamera(const std::string& name) {
        kcPtrHandle<kcGenICamFifo> camera =
            kfWithModuleLock([&] { return kcPtrHandle<kcGenICamFifo>(new kcGenICamFifo(name)); });
        axes_ = kcCameraAxes{camera->supportsExposure(), camera->supportsContrast(), camera->supportsBrightness()};
        id_ = camera->camera().id;
        fifo_ = camera;
    }
    const std::string& id() const { return id_; }

private:
    std::string id_;
};
#endif

template <class Class>
void bindFifoCameraMethods(Class& cls) {
    cls.def("get_exposure", &kcFifoCamera::getExposure, "The exposure in seconds.")
        .def("set_exposure", &kcFifoCamera::setExposure, py::arg("seconds"))
        .def("get_contrast", &kcFifoCamera::getContrast, "The contrast, 0 to 1 (the first tap's).")
        .def("set_contrast", &kcFifoCamera::setContrast, py::arg("value"), "Sets the contrast of every tap.")
        .def("get_brightness", &kcFifoCamera::getBrightness, "The brightness, 0 to 1 (the first tap's).")
        .def("set_brightness", &kcFifoCamera::setBrightness, py::arg("value"), "Sets the brightness of every tap.")
        .def("get_lut", &kcFifoCamera::getLut, "The 8-bit input LUT: 256 entries, a numpy uint8 array.")
        .def("set_lut", &kcFifoCamera::setLut, py::arg("table"), "Installs an input LUT of 256 entries 0..255.")
        .def("grab", &kcFifoCamera::grab,
             "Acquires one image with the present settings: H x W x 3 (RGB) or H x W (grey) uint8.\n"
             "AcquisitionError when the acquisition fails.")
        .def_property_readonly("trigger_enabled", &kcFifoCamera::triggerEnabled)
        .def_property_readonly("trigger_model", &kcFifoCamera::triggerModel,
                               "The trigger model's name: \"manual\", \"free run\" or \"hardware\".");
}
}  // namespace

kcPyCamera::~kcPyCamera() = default;

kcOpenedCamera kcPyCamera::open(const py::object& self) {
    auto* python = new kcPythonCameraFifo(self);
    kcOpenedCamera opened{kcPtrHandle<kcAcqFifo>(python), python->axes(), python};
    return opened;
}

void kfBindCameras(py::module_& m) {
    py::class_<kcPyCamera>(m, "Camera", R"doc(
Base class of a camera written in Python.

Subclass it, call ``super().__init__()``, and define:

- ``grab() -> numpy.ndarray``: one image with the present settings, uint8,
  H x W x 3 (RGB) or H x W (grey), any strides; None when the camera
  delivered no image (the search then ends with AcquisitionError);
- ``get_exposure()``/``set_exposure(seconds)``,
  ``get_contrast()``/``set_contrast(value)`` and
  ``get_brightness()``/``set_brightness(value)`` (contrast and brightness on
  0..1): a pair left out switches that setting off in the search;
- optionally ``get_lut()``/``set_lut(table)`` (256 entries 0..255); without
  them the module applies the LUT to the images itself.

``balance`` hands the camera back as found on every way out: it reads these
values first and writes them back at the end. An exception raised in one of
these methods ends the search and comes out of ``balance`` unchanged, after
the camera was restored; a TimeoutError from ``grab()`` also carries the
best settings found so far as its ``result``.
)doc")
        .def(py::init<>());

    py::class_<kcPySimCamera, kcPyCamera> sim(m, "SimCamera", py::is_final(), R"doc(
The simulated colour camera: a scene rendered through a sensor model with
exposure, contrast, brightness, noise and an input LUT.

``scene`` is a built-in scene ("chart", "dark", "bright", "hdr", "grey"), the
path of a binary PPM file, or an RGB uint8 numpy array (its values taken as
radiance), resampled to ``size`` (width, height). The same seed gives the
same images. Properties start at exposure 0.01, contrast 0.5, brightness 0,
the identity LUT, triggering enabled and free-running.

Faults to inject, counted from the start of each ``balance`` run (1 is the
first acquisition or property write, 0 disables): ``failure_code_at`` (that
acquisition reports ``failure_code``), ``unbound_image_at`` (it delivers no
image), ``empty_handle_at`` (its completion returns nothing),
``timeout_at`` (it times out), ``attention_failure_before`` (the stop check
before it reports ``attention_status``), ``fail_write_at`` (that property
write fails; with ``fail_later_writes`` every later one too).
)doc");
    sim.def(py::init([](const py::object& scene, std::pair<long, long> size, std::uint64_t seed, bool noise, long taps,
                        double exposure, double contrast, double brightness, unsigned long failureCodeAt,
                        long failureCode, unsigned long unboundImageAt, unsigned long emptyHandleAt,
                        unsigned long timeoutAt, unsigned long attentionFailureBefore, long attentionStatus,
                        unsigned long failWriteAt, bool failLaterWrites) {
                kcSimFifoOptions options;
                options.numTaps = taps;
                options.exposure = exposure;
                options.contrast = contrast;
                options.brightness = brightness;
                kcSimFifoFaults faults;
                faults.failureCodeAt = failureCodeAt;
                faults.failureCode = failureCode;
                faults.unboundImageAt = unboundImageAt;
                faults.emptyHandleAt = emptyHandleAt;
                faults.timeoutAt = timeoutAt;
                faults.attentionFailureBefore = attentionFailureBefore;
                faults.attentionStatus = attentionStatus;
                faults.failWriteAt = failWriteAt;
                faults.failLaterWrites = failLaterWrites;
                kcSimScene rendered = sceneFrom(scene, size.first, size.second);
                return new kcPySimCamera(std::move(rendered), seed, noise, options, faults);
            }),
            py::arg("scene") = "chart", py::arg("size") = std::pair<long, long>(640, 480), py::arg("seed") = 1,
            py::kw_only(), py::arg("noise") = true, py::arg("taps") = 1, py::arg("exposure") = 0.01,
            py::arg("contrast") = 0.5, py::arg("brightness") = 0.0, py::arg("failure_code_at") = 0,
            py::arg("failure_code") = 1, py::arg("unbound_image_at") = 0, py::arg("empty_handle_at") = 0,
            py::arg("timeout_at") = 0, py::arg("attention_failure_before") = 0, py::arg("attention_status") = 1,
            py::arg("fail_write_at") = 0, py::arg("fail_later_writes") = false);
    bindFifoCameraMethods(sim);
    sim.def_property_readonly("images", &kcPySimCamera::images, "Acquisitions since the camera was made.")
        .def_property_readonly("size", &kcPySimCamera::size, "(width, height) of the images.");

#ifdef CLBL_WITH_GENICAM
    py::class_<kcPyGenICamCamera, kcPyCamera> genicam(m, "GenICamCamera", py::is_final(), R"doc(
A GenICam camera (GigE Vision, USB3 Vision) found on this machine, by its id,
serial number or address; None opens the first camera found. A setting the
camera has no control for is switched off in the search.
)doc");
    genicam
        .def(py::init([](const std::optional<std::string>& name) {
                 return new kcPyGenICamCamera(name.value_or(kGenICamFirstCamera));
             }),
             py::arg("name") = py::none())
        .def_property_readonly("id", &kcPyGenICamCamera::id, "The camera's unique name.");
    bindFifoCameraMethods(genicam);
#endif
}
