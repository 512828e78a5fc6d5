// python/src/py_balance.cpp
// Tool and balance: the search, run with the GIL released under the
// module's lock.
#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "clbl/driver.h"
#include "clbl/tool.h"
#include "py_cameras.h"
#include "py_errors.h"
#include "py_images.h"
#include "py_interrupt.h"
#include "py_module.h"
#include "py_records.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/sys/attention.h"

namespace {
// While a balance runs, the driver's stop check before each acquisition
// also runs Python's pending signal handlers and passes a recorded Ctrl-C
// on (on the main thread only). What they raise is thrown as
// error_already_set: the driver restores the camera while it passes, and
// Python sees the original error. The handler that was installed before
// keeps being asked as well.
class kcPythonAttention {
public:
    kcPythonAttention() {
        kcAttentionHandler previous = ksys_set_attention_handler({});
        previous_ = previous;
        ksys_set_attention_handler([previous]() -> long {
            kcDeferredInterrupt::check();
            return previous ? previous() : 0;
        });
    }
    ~kcPythonAttention() { ksys_set_attention_handler(std::move(previous_)); }
    kcPythonAttention(const kcPythonAttention&) = delete;
    kcPythonAttention& operator=(const kcPythonAttention&) = delete;

private:
    kcAttentionHandler previous_;
};

// Forwards every call to the camera's FIFO and remembers how the last
// completion went: the driver reports a failed acquisition only through the
// result's acquisition info, which cannot tell an unbound image, and which
// the diagnostics acquisition after the search does not reach.
class kcWatchedFifo : public kcAcqFifo {
public:
    explicit kcWatchedFifo(kcPtrHandle<kcAcqFifo> inner) : inner_(std::move(inner)) {}

    bool start(unsigned long flags) override { return inner_->start(flags); }
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override {
        ++completions_;
        kcAcquireInfo info = args.acqInfo != nullptr ? *args.acqInfo : kcAcquireInfo();
        CompleteArgs forwarded = args;
        forwarded.acqInfo = &info;
        kcPtrHandle<kcAcqImage> image = inner_->completeAcq(forwarded);
        if (args.acqInfo != nullptr) *args.acqInfo = info;
        lastCode_ = info.failure().code();
        lastFailed_ = lastCode_ != 0 || !image || !image->isBound();
        return image;
    }
    bool triggerEnable() const override { return inner_->triggerEnable(); }
    void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
    const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
    void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
    kcAcqProps& properties() override { return inner_->properties(); }

    // Completions asked for, the last included.
    unsigned long completions() const { return completions_; }
    bool lastFailed() const { return lastFailed_; }
    long lastCode() const { return lastCode_; }

private:
    kcPtrHandle<kcAcqFifo> inner_;
    unsigned long completions_ = 0;
    bool lastFailed_ = false;
    long lastCode_ = 0;
};

// colorbal.Tool.
class kcPyTool {
public:
    explicit kcPyTool(const kcColorBalanceParams& params)
        : params_(params), tool_(kfWithModuleLock([] { return std::make_unique<kcColorBalanceTool>(); })) {}

    py::object start(const py::object& settingsNow) {
        const kcColorCameraSettings now = kfFromSettings(settingsNow, "settings_now");
        const kcColorCameraSettings first = kfWithModuleLock([&] { return tool_->init(params_, now); });
        started_ = true;
        return kfToSettings(first);
    }

    py::object feed(const py::object& array) {
        if (!started_) throw py::value_error("Tool.feed() before Tool.start(): start the search first");
        kcPtrHandle<kcAcqImage> image = kfImageFromArray(array, "image");
        const kcColorCameraSettings next =
            kfWithModuleLock([&] { return tool_->nextSettingsFromImages(image, nullptr, 0); });
        return kfToSettings(next);
    }

    bool done() {
        return kfWithModuleLock([&] { return tool_->done(); });
    }
    py::object result() {
        return kfToSettings(kfWithModuleLock([&] { return tool_->result(); }));
    }
    const kcColorBalanceParams& params() const { return params_; }

private:
    kcColorBalanceParams params_;
    std::unique_ptr<kcColorBalanceTool> tool_;
    bool started_ = false;
};

// The parameters with the settings the camera cannot change switched off;
// a camera without exposure control is searched at exposure 0, the value
// it reads.
kcColorBalanceParams paramsFor(kcColorBalanceParams params, const kcCameraAxes& axes) {
    if (!axes.exposure) {
        params.isExposureEnabled(false);
        params.exposureRange(kcRange(0.0, 0.0));
    }
    if (!axes.contrast) params.isContrastEnabled(false);
    if (!axes.brightness) params.isBrightnessEnabled(false);
    return params;
}

py::list diagnosticsOf(const kcDiagObject& diag) {
    py::list records;
    for (long i = 0; i < diag.numRecords(); ++i) {
        const kcDiagRecord& record = diag.diagRecord(i);
        py::dict entry;
        entry["annotation"] = record.annotations().empty() ? std::wstring() : record.annotations().front();
        if (!record.images().empty()) {
            const kcDiagImage& image = record.images().front();
            entry["image"] = image.isColor ? kfArrayFromPlanes(image.color) : kfArrayFromGrey(image.grey);
        } else {
            entry["image"] = py::none();
        }
        py::list text;
        for (const kcDiagSketch& sketch : record.sketches())
            for (const kcUISketchText& item : sketch.sketch.texts()) text.append(item.text);
        entry["text"] = text;
        records.append(entry);
    }
    return records;
}

py::object balance(const py::object& camera, const kcColorBalanceParams& params, bool diagnostics) {
    if (!py::isinstance<kcPyCamera>(camera))
        throw py::type_error("camera must be a colorbal.Camera, not " +
                             std::string(py::str(py::type::handle_of(camera).attr("__name__"))));
    kcPyCamera& cam = camera.cast<kcPyCamera&>();
    const kcOpenedCamera opened = cam.open(camera);
    kcWatchedFifo* watched = new kcWatchedFifo(opened.fifo);
    const kcPtrHandle<kcAcqFifo> fifo(watched);
    const kcColorBalanceParams adapted = paramsFor(params, opened.axes);
    const std::unique_ptr<kcDiagObject> diag = diagnostics ? std::make_unique<kcDiagObject>() : nullptr;

    kcPyResult result;
    bool timedOut = false;
    // Taken before Ctrl-C is deferred, so that Ctrl-C ends a wait for
    // another thread's balance before this camera is touched.
    const std::unique_lock<std::recursive_timed_mutex> lock = kfLockModule();
    kfDeferringCtrlC([&] {
        py::gil_scoped_release release;
        cam.beginRun();
        struct EndRun {
            kcPyCamera& cam;
            ~EndRun() { cam.endRun(); }
        } endRun{cam};
        const kcPythonAttention attention;
        try {
            kfColorBalance(fifo, adapted, result.record, diag.get(), diagnostics ? kRecordResultImages : 0);
        } catch (const kcTimeout::Expired&) {
            timedOut = true;
        }
    });
    if (diag) result.diagnostics = diagnosticsOf(*diag);

    if (timedOut) {
        py::object raised = opened.python != nullptr ? opened.python->takeTimeoutError() : py::object();
        if (raised) {
            // The camera's own TimeoutError, with what the search found.
            raised.attr("result") = py::cast(std::move(result));
            PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(raised.ptr())), raised.ptr());
            throw py::error_already_set();
        }
        kfRaiseWithResult(PyExc_TimeoutError, "acquisition " + std::to_string(watched->completions()) + " timed out",
                          py::cast(std::move(result)));
    }
    if (watched->lastFailed()) {
        const long code = watched->lastCode();
        const std::string text = "acquisition " + std::to_string(watched->completions()) +
                                 (code != 0 ? " failed with code " + std::to_string(code) : " delivered no image");
        const py::object error = kfAcquisitionErrorType()(code, text, py::cast(std::move(result)));
        PyErr_SetObject(kfAcquisitionErrorType().ptr(), error.ptr());
        throw py::error_already_set();
    }
    return py::cast(std::move(result));
}
}  // namespace

void kfBindSearch(py::module_& m) {
    kfRecordMainThread();

    py::class_<kcPyTool>(m, "Tool", R"doc(
The search driven image by image: the tool never touches a camera.

    tool = Tool(params)
    settings = tool.start(settings_now)
    while not tool.done:
        settings = tool.feed(image_taken_with(settings))
    best = tool.result

Images are numpy uint8 arrays, H x W x 3 (RGB) or H x W (grey), any strides.
The search steps run with the GIL released; steps of all tools and balance
calls are serialised by the module, so tools may be used from any thread.
)doc")
        .def(py::init<const kcColorBalanceParams&>(), py::arg("params") = kcColorBalanceParams())
        .def("start", &kcPyTool::start, py::arg("settings_now"),
             "Starts a new search from the camera's present settings; returns the first settings to try.")
        .def("feed", &kcPyTool::feed, py::arg("image"),
             "One search step with the image taken at the settings last returned; returns the next settings.\n"
             "TypeError for an array that is not uint8, ValueError for a bad shape or an empty one.")
        .def_property_readonly("done", &kcPyTool::done, "True when the search has finished.")
        .def_property_readonly("result", &kcPyTool::result,
                               "The best settings found so far (the start settings until an image was judged).")
        .def_property_readonly("params", &kcPyTool::params);

    m.def("balance", &balance, py::arg("camera"), py::arg("params") = kcColorBalanceParams(),
          py::arg("diagnostics") = false, R"doc(
Balances the camera in one call and returns the Result.

The search starts at the start of the exposure range with contrast and
brightness 0 and runs with the manual trigger model (and the identity LUT
when params.positive_lut). The camera is handed back with the settings,
LUT and trigger it had on entry on every way out; apply the result with
``Result.apply``. A setting the camera cannot change is not varied.

- AcquisitionError (with ``code``, ``text`` and ``result``) when an
  acquisition fails; TimeoutError (with ``result``) when one times out;
- an exception raised by a Python camera's method comes out unchanged;
- Ctrl-C stops the search at its next check and raises KeyboardInterrupt
  once the camera is restored; it never cuts a camera method short, except
  when pressed twice while grab() runs (a camera that hangs). The SIGINT
  handler is asked at the check (and after the restore) as Python would;
  one that does not raise lets the search go on.

With diagnostics=True, result.diagnostics holds the colour and monochrome
records of one more image taken at the end.
)doc");
}
