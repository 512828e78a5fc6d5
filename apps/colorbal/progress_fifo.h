// apps/colorbal/progress_fifo.h
// kcProgressFifo: a kcAcqFifo that forwards every call to another FIFO and
// reports each completed acquisition to a callback, so a program can show
// progress without the balancing code knowing.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "toolkit/acq/acq_fifo.h"
#include "toolkit/camera/color_camera_settings.h"

// What is known after one completed acquisition. The search's phase and
// its best settings so far are the tool's own and not visible here.
struct kcAcqProgress {
    // Acquisitions completed through the wrapper so far.
    unsigned long acquisitions = 0;
    // The FIFO's exposure, channel-0 contrast and channel-0 brightness when
    // the acquisition completed, as last written or read through the
    // wrapper (absent when the FIFO lacks one of them).
    std::optional<kcColorCameraSettings> settings;
    // The acquisition reported a failure code or gave no bound image.
    bool failed = false;
    // The image the acquisition gave (may be empty or unbound when failed).
    kcPtrHandle<kcAcqImage> image;
};

// The settings an image was taken at are those last written (or read)
// through the wrapper's own property table; the inner FIFO is asked for a
// value only when none is known (before the first write or read of it, and
// after a write of it failed), so reporting costs a camera no round trip
// per image. Writes that bypass the wrapper are not seen.
class kcProgressFifo : public kcAcqFifo,
                       private kcExposureProp,
                       private kcContrastBrightnessProp,
                       private kc8BitInputLutProp {
public:
    using Callback = std::function<void(const kcAcqProgress&)>;

    // Forwards to `inner` (kcBadPointer when empty); `callback` may be empty.
    kcProgressFifo(kcPtrHandle<kcAcqFifo> inner, Callback callback);

    bool start(unsigned long flags) override;
    // Completes on the inner FIFO, then reports. An exception from the inner
    // FIFO passes unchanged and is not counted. A caller that passes no
    // acquisition report still has failures seen: the wrapper asks for one.
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;
    bool triggerEnable() const override;
    void triggerEnable(bool enable) override;
    const kcTriggerModel& triggerModel() const override;
    void triggerModel(const kcTriggerModel& model) override;
    // A table with the inner FIFO's properties, each forwarded to it and
    // its exposure, channel-0 contrast and brightness remembered.
    kcAcqProps& properties() override { return props_; }

    unsigned long acquisitions() const { return progress_.acquisitions; }
    const kcAcqProgress& lastProgress() const { return progress_; }

private:
    double exposure() const override;
    void exposure(double seconds) override;
    double contrast(Channel channel) const override;
    double brightness(Channel channel) const override;
    void setContrastEx(double value, long tap) override;
    void setBrightnessEx(double value, long tap) override;
    long numTaps() const override;
    std::vector<unsigned char> inputLut(LutChannel channel) const override;
    void inputLut(const unsigned char* table) override;

    // The settings to report: the known values, the unknown ones read once.
    std::optional<kcColorCameraSettings> knownSettings();

    kcPtrHandle<kcAcqFifo> inner_;
    Callback callback_;
    kcAcqProgress progress_;
    kcAcqProps props_;
    // Last written or read through the wrapper; empty when unknown (never
    // touched, or the last write failed and may have left anything).
    mutable std::optional<double> exposure_, contrast_, brightness_;
};

// The program's progress line on a terminal: images taken, the settings of
// the last acquisition and the time since the line was made, redrawn in
// place with a carriage return at most every 100 ms. The same line serves
// every source of images.
class kcProgressLine {
public:
    explicit kcProgressLine(std::ostream& err);
    kcProgressLine(const kcProgressLine&) = delete;
    kcProgressLine& operator=(const kcProgressLine&) = delete;
    ~kcProgressLine();

    void update(const kcAcqProgress& progress);
    // Shows `text` in place of the line (such as what runs after the search).
    void show(const std::string& text) { draw(text); }
    // Removes the line, leaving the cursor at the start of an empty line.
    void clear();

    // The text of the line for `progress` after `seconds`.
    static std::string text(const kcAcqProgress& progress, double seconds);

private:
    using Clock = std::chrono::steady_clock;
    void draw(const std::string& text);

    std::ostream& err_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_{};
    std::size_t shown_ = 0;
};
