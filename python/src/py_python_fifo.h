// python/src/py_python_fifo.h
// kcPythonCameraFifo: the acquisition FIFO over a camera written in Python
// (a subclass of colorbal.Camera), so that the library's driver, with its
// promise to hand the camera back as found, runs on it.
#pragma once

#include <pybind11/pybind11.h>

#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_properties.h"

namespace py = pybind11;

// The 256 entries of a LUT given from Python: any sequence of integers 0
// to 255 (a list, a numpy array). TypeError or ValueError naming `where`
// otherwise. Needs the GIL.
std::vector<unsigned char> kfLutFromPython(const py::handle& table, const std::string& where);

// Which settings a camera can change.
struct kcCameraAxes {
    bool exposure = true;
    bool contrast = true;
    bool brightness = true;
};

// The camera's methods are looked up once, when the FIFO is made:
// get_exposure/set_exposure, get_contrast/set_contrast and
// get_brightness/set_brightness come in pairs, and a pair left out means
// the camera cannot change that setting: it reads 0, a write of 0 is
// accepted and any other value throws kcPropertyNotSupported (the caller
// switches that axis off). get_lut/set_lut are optional too: without them
// the FIFO keeps the LUT itself and applies it to every image grab()
// returns. grab() is required.
//
// Acquisition: start() queues an acquisition and completeAcq() calls grab()
// for it, copying the numpy array it returns into a new image; None from
// grab() is an acquisition that delivered no image (an unbound image). A
// completion with nothing started, with triggering disabled or with the
// hardware trigger model (there is no trigger line) throws
// kcTimeout::Expired at once, as does a TimeoutError raised by grab(),
// which is kept for the caller (takeTimeoutError).
//
// Every call into Python takes the GIL; an exception raised by a camera
// method passes through the library as pybind11's error_already_set and
// comes out unchanged. Not thread-safe: one thread uses the FIFO at a time.
class kcPythonCameraFifo : public kcAcqFifo,
                           public kcExposureProp,
                           public kcContrastBrightnessProp,
                           public kc8BitInputLutProp {
public:
    // Acquisitions that can be started and not yet completed.
    static constexpr long kMaxPending = 16;

    // Needs the GIL. TypeError when grab() is missing or only one method
    // of a pair is defined.
    explicit kcPythonCameraFifo(const py::object& camera);
    ~kcPythonCameraFifo() override;

    kcCameraAxes axes() const { return axes_; }
    // The TimeoutError that grab() raised, if the last completion timed out
    // that way; an empty object otherwise. Needs the GIL.
    py::object takeTimeoutError();

    bool start(unsigned long flags) override;
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;
    bool triggerEnable() const override { return triggerEnable_; }
    void triggerEnable(bool enable) override { triggerEnable_ = enable; }
    const kcTriggerModel& triggerModel() const override { return *triggerModel_; }
    void triggerModel(const kcTriggerModel& model) override { triggerModel_ = &model; }
    kcAcqProps& properties() override { return props_; }

    double exposure() const override;
    void exposure(double seconds) override;
    double contrast(Channel channel) const override;
    double brightness(Channel channel) const override;
    void setContrastEx(double value, long tap) override;
    void setBrightnessEx(double value, long tap) override;
    long numTaps() const override { return 1; }
    std::vector<unsigned char> inputLut(LutChannel channel) const override;
    void inputLut(const unsigned char* table) override;

private:
    struct Methods;

    double read(const py::object& getter, const char* name) const;
    void write(const py::object& setter, const char* name, double value);
    void checkChannel(long channel) const;
    void checkTap(long tap) const;

    std::unique_ptr<Methods> methods_;  // released with the GIL held
    std::string className_;
    kcCameraAxes axes_;
    kcAcqProps props_{this, this, this};

    bool triggerEnable_ = true;
    const kcTriggerModel* triggerModel_;
    long pending_ = 0;
    unsigned long acquisitions_ = 0;
    std::chrono::steady_clock::time_point created_ = std::chrono::steady_clock::now();
    // The LUT kept by the FIFO for a camera without get_lut/set_lut.
    std::array<unsigned char, kLutSize> ownLut_;
};
