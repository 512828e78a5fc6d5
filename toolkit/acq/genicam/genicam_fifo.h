// toolkit/acq/genicam/genicam_fifo.h
// kcGenICamFifo: an acquisition FIFO over a GenICam camera (GigE Vision or
// USB3 Vision), with exposure, contrast/brightness and input LUT properties.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_properties.h"
#include "toolkit/acq/genicam/genicam_cameras.h"
#include "toolkit/acq/genicam/genicam_error.h"
#include "toolkit/foundation/export.h"

struct kcGenICamFifoOptions {
    // The FIFO's own completion timeout in seconds: a completion asked to
    // wait "as long as the FIFO waits" (timeout +infinity) waits this long
    // plus the exposure time. Positive and finite.
    double timeout = 2.0;
    // Pixel format to select when the FIFO opens: "RGB8", "Mono8",
    // "BayerRG8", "BayerGR8", "BayerGB8" or "BayerBG8". Empty keeps the
    // camera's format when it is one of these, and otherwise selects the
    // first of them, in this order, that the camera offers.
    std::string pixelFormat;
    // Image size to select when the FIFO opens (Width and Height, at offset
    // 0, 0); 0 keeps the camera's. A size the camera refuses gives
    // kcGenICamError. Smaller images travel faster.
    long width = 0;
    long height = 0;
    // How often a frame that came incomplete (packets lost or late, codes
    // 102 and 103) is asked for again, at the same settings, before its
    // failure is reported; for the manual and free-running models with one
    // acquisition pending. 0 reports the first incomplete frame.
    long incompleteFrameRetries = 8;
};

// The camera's features as the FIFO uses them:
//
// - Exposure: seconds <-> ExposureTime (or ExposureTimeAbs) in
//   microseconds, clamped to the camera's bounds and to its resolution
//   (a camera with whole microseconds reads back whole microseconds).
// - Contrast: 0..1 linearly onto the camera's gain bounds (Gain, else
//   GainRaw; GainSelector set to All where it exists): 0 is the lowest gain,
//   1 the highest; values outside 0..1 are clamped, an integer gain is
//   rounded to the nearest step. Reading maps the gain back the same way.
// - Brightness: 0..1 linearly onto the black level bounds (BlackLevel, else
//   BlackLevelRaw), likewise.
// - A camera without one of these features: that property reads 0, a write
//   of 0 is accepted and does nothing, any other value throws
//   kcPropertyNotSupported (supportsExposure() and friends tell beforehand).
//   Most GigE cameras without a black level control behave so for
//   brightness.
// - The camera's ExposureAuto, GainAuto and BlackLevelAuto are switched Off
//   while the FIFO is open.
// - One tap: channel and tap 0 (or kAllTaps).
// - Input LUT: on the camera when it has an 8-bit one (LUTIndex 0..255,
//   LUTValue up to 255), otherwise applied by the FIFO to each image it
//   delivers (to all three planes, or the grey plane). The LUT starts as the
//   camera's (the identity when it has none or it is disabled).
//
// Trigger models: the manual model is a software trigger (TriggerMode On,
// TriggerSource Software, continuous acquisition; start() sends the
// trigger), or single-frame acquisition where the camera has no software
// trigger (start() starts one frame). The free-running model is continuous
// acquisition without trigger; start() asks for the next frame that
// arrives. The hardware model waits for the camera's first trigger line.
// The FIFO opens with triggering enabled and the model the camera is set
// to. Disabling triggering stops the camera's acquisition; the next start()
// restarts it.
//
// Completion waits for one buffer: a wait that runs out throws
// kcTimeout::Expired; an incomplete frame is asked for again (see
// incompleteFrameRetries), each time with the same wait; a buffer with an
// error status (missing packets, ...) then gives an unbound image and the
// failure code kBufferStatusFailureBase +
// the status (kBufferStatusFailureBase itself for a status the stream
// calls unknown); kfGenICamFailureText says what each code means. Pixel formats: RGB8 (three planes), Mono8 (a grey
// image) and the 8-bit Bayer formats (demosaiced on the host, bilinear).
//
// Camera errors (a refused write, a camera that stopped answering) throw
// kcGenICamError with the camera's message. A camera that stops answering
// is marked lost: every later call throws kcGenICamError at once instead of
// waiting for it again.
//
// The stream's socket gets a receive buffer of a few frames before the
// first trigger, so that a receiving thread that is late (a busy machine)
// finds the first frame whole. A camera on loopback sends packets of 16 KiB
// (or its largest), fewer to lose than the usual 1400 bytes.
//
// Closing the FIFO stops the acquisition and puts back the pixel format,
// image size, packet size, trigger, acquisition mode, automatic controls and selector
// features it changed; exposure, gain, black level and LUT stay as last
// written (kcFifoPropertiesSaver restores those).
//
// Not thread-safe: one thread uses a FIFO at a time.
class KC_EXPORT kcGenICamFifo : public kcAcqFifo,
                                public kcExposureProp,
                                public kcContrastBrightnessProp,
                                public kc8BitInputLutProp {
public:
    // Failure code of a buffer whose status is not success, plus the status
    // (the stream's statuses run from 1; an unknown status gives the base).
    static constexpr long kBufferStatusFailureBase = 100;
    // Failure code of a buffer whose image data are shorter than its size and
    // pixel format need.
    static constexpr long kShortImageFailure = 99;
    // Acquisitions that can be started and not yet completed.
    static constexpr long kMaxPending = 4;

    // Opens the camera called `name` (its id, serial number or address, see
    // kfGenICamCameras); an empty name or kGenICamFirstCamera opens the first
    // camera found. kcGenICamError naming `name` when no such camera is
    // found or it cannot be opened; kcBadArgument for bad options.
    explicit kcGenICamFifo(const std::string& name, const kcGenICamFifoOptions& options = kcGenICamFifoOptions());
    ~kcGenICamFifo() override;

    // Acquisition.
    bool start(unsigned long flags) override;
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;
    bool triggerEnable() const override;
    void triggerEnable(bool enable) override;
    const kcTriggerModel& triggerModel() const override;
    // The manual, free-running or hardware model (kcBadArgument for another
    // model, kcPropertyNotSupported for a hardware model on a camera without
    // a trigger line).
    void triggerModel(const kcTriggerModel& model) override;
    kcAcqProps& properties() override { return props_; }

    // Exposure in seconds (finite, else kcBadArgument).
    double exposure() const override;
    void exposure(double seconds) override;

    // Contrast and brightness on 0..1 (finite, else kcBadArgument).
    double contrast(Channel channel) const override;
    double brightness(Channel channel) const override;
    void setContrastEx(double value, long tap) override;
    void setBrightnessEx(double value, long tap) override;
    long numTaps() const override { return 1; }

    std::vector<unsigned char> inputLut(LutChannel channel) const override;
    void inputLut(const unsigned char* table) override;

    // The camera as found when the FIFO opened it.
    const kcGenICamCameraInfo& camera() const;
    // The pixel format of the delivered buffers, e.g. "RGB8".
    const std::string& pixelFormat() const;
    // The image size (Width x Height) set when the FIFO opened.
    long width() const;
    long height() const;
    // Which properties the camera can change (see the class comment).
    bool supportsExposure() const;
    bool supportsContrast() const;
    bool supportsBrightness() const;
    // True when the LUT is the camera's, false when the FIFO applies it.
    bool hasCameraLut() const;
    // True when the camera answered no more and the FIFO gave up on it.
    bool isLost() const;
    // Leaves ExposureAuto, GainAuto and BlackLevelAuto off when the FIFO
    // closes, so that settings written to stay on the camera are not undone
    // by its automatic controls.
    void keepAutomaticControlsOff();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    kcAcqProps props_;
};

// What an acquisition failure code of kcGenICamFifo means, in words, with
// the code: "frame incomplete: packets were lost or came too late (code
// 102)"; "no failure" for 0, "failure code N" for a code it does not give.
KC_EXPORT std::string kfGenICamFailureText(long code);
