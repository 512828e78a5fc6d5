// toolkit/sim/sim_fifo.h
// kcSimFifo: an acquisition FIFO over the simulated camera, with the
// exposure, per-tap contrast/brightness and input LUT properties, a log of
// every property write, and injectable faults.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_properties.h"
#include "toolkit/foundation/export.h"
#include "toolkit/sim/sim_camera.h"
#include "toolkit/sim/sim_fifo_write.h"
#include "toolkit/sys/attention.h"

// Faults to inject. Acquisitions and property writes are counted from 1,
// starting when the faults are set with kcSimFifo::setFaults; 0 disables a
// fault. An acquisition is a completion of a started acquisition (the
// completions refused because nothing was started or triggering is off do
// not count). Each acquisition fault fires on exactly one acquisition.
struct kcSimFifoFaults {
    // That acquisition reports failureCode (non-zero) in its kcAcquireInfo;
    // its image is still delivered, bound.
    unsigned long failureCodeAt = 0;
    long failureCode = 1;
    // That acquisition delivers an unbound image, with no failure code.
    unsigned long unboundImageAt = 0;
    // That acquisition's completion returns an empty handle, with no
    // failure code.
    unsigned long emptyHandleAt = 0;
    // That acquisition's completion throws kcTimeout::Expired (the
    // acquisition is consumed; kcAcquireInfo is left as it was).
    unsigned long timeoutAt = 0;
    // ksys_attention_check() reports attentionStatus (non-zero) while that
    // acquisition is the next one, i.e. after N-1 acquisitions. Installs a
    // process-wide attention handler while armed (see setFaults).
    unsigned long attentionFailureBefore = 0;
    long attentionStatus = 1;
    // The failWriteAt-th property write throws kcStatusFailure and leaves
    // the property unchanged. When failWriteKind is set only writes of that
    // kind are counted (and can fail); with failLaterWrites every later
    // counted write fails as well.
    unsigned long failWriteAt = 0;
    std::optional<kcSimFifoWrite::Kind> failWriteKind{};
    bool failLaterWrites = false;
};

// What a kcSimFifo starts with.
struct kcSimFifoOptions {
    // Taps: vertical stripes of the image, each with its own contrast and
    // brightness; 1 to kcSimFifo::kMaxTaps.
    long numTaps = 1;
    // Initial property values (every tap starts with the same contrast and
    // brightness); the LUT starts as the identity, triggering as enabled
    // and free-running.
    double exposure = 0.01;
    double contrast = 0.5;
    double brightness = 0.0;
    // Which property interfaces properties() offers.
    bool exposureProp = true;
    bool contrastBrightnessProp = true;
    bool inputLutProp = true;
};

// Not thread-safe: one thread uses a FIFO at a time. Triggering is
// simulated: an acquisition completes only when it was started and
// triggering is enabled with the manual or free-running model; otherwise
// the completion throws kcTimeout::Expired at once (there is no real wait
// and no hardware trigger line in the simulator).
class KC_EXPORT kcSimFifo : public kcAcqFifo,
                            public kcExposureProp,
                            public kcContrastBrightnessProp,
                            public kc8BitInputLutProp {
public:
    static constexpr long kMaxTaps = 8;
    // Acquisitions that can be started and not yet completed.
    static constexpr long kMaxPending = 16;

    explicit kcSimFifo(kcSimCamera camera, const kcSimFifoOptions& options = kcSimFifoOptions());
    ~kcSimFifo() override;

    // Acquisition.
    bool start(unsigned long flags) override;
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override;
    bool triggerEnable() const override { return triggerEnable_; }
    void triggerEnable(bool enable) override;
    const kcTriggerModel& triggerModel() const override { return *triggerModel_; }
    void triggerModel(const kcTriggerModel& model) override;
    kcAcqProps& properties() override { return props_; }

    // Exposure in seconds: finite and not negative (kcBadArgument otherwise).
    double exposure() const override { return exposure_; }
    void exposure(double seconds) override;

    // Contrast and brightness: any finite value (kcBadArgument otherwise);
    // the camera model clamps them to its range.
    double contrast(Channel channel) const override;
    double brightness(Channel channel) const override;
    void setContrastEx(double value, long tap) override;
    void setBrightnessEx(double value, long tap) override;
    long numTaps() const override { return static_cast<long>(contrast_.size()); }

    // One LUT for all three planes, channel 0.
    std::vector<unsigned char> inputLut(LutChannel channel) const override;
    void inputLut(const unsigned char* table) override;

    // Replaces the faults and restarts their counting. An armed attention
    // fault installs a handler with ksys_set_attention_handler; it is
    // removed (the previous handler put back) when the faults are replaced
    // or the FIFO is destroyed, so FIFOs that arm it must be disarmed or
    // destroyed in the reverse order.
    void setFaults(const kcSimFifoFaults& faults);
    const kcSimFifoFaults& faults() const { return faults_; }

    // Every property write received since creation or the last clear, in
    // order, including refused ones.
    const std::vector<kcSimFifoWrite>& writeLog() const { return writeLog_; }
    void clearWriteLog() { writeLog_.clear(); }

    // The settings the next acquisition renders with.
    kcSimExposure currentExposure() const;
    // Acquisitions since creation (the last one's acquisition number).
    unsigned long acquisitionCount() const { return acquisitions_; }
    long pendingAcquisitions() const { return pending_; }
    const kcSimCamera& camera() const { return camera_; }

private:
    struct AttentionFault;

    // Logs a write and throws when an injected fault refuses it; the caller
    // marks the logged entry applied once the property has changed.
    void receiveWrite(kcSimFifoWrite entry);
    void markApplied() { writeLog_.back().applied = true; }
    // Logs a contrast or brightness write, then stores `value` in `taps`
    // for the tap (or all taps) it names.
    void writeTaps(kcSimFifoWrite::Kind kind, double value, long tap, std::vector<double>& taps, const wchar_t* what);
    // The taps a tap argument names; kcBadArgument for a bad one.
    std::size_t firstTap(long tap) const;
    std::size_t endTap(long tap) const;
    std::size_t channelIndex(long channel) const;

    kcSimCamera camera_;
    kcAcqProps props_;

    double exposure_;
    std::vector<double> contrast_;
    std::vector<double> brightness_;
    std::array<unsigned char, kc8BitInputLutProp::kLutSize> lut_;
    bool triggerEnable_ = true;
    const kcTriggerModel* triggerModel_;

    long pending_ = 0;
    unsigned long acquisitions_ = 0;
    double clock_ = 0.0;  // simulated seconds since creation

    kcSimFifoFaults faults_;
    unsigned long faultBase_ = 0;      // acquisitions_ when the faults were set
    unsigned long countedWrites_ = 0;  // writes counted for the write fault
    std::shared_ptr<AttentionFault> attention_;
    std::optional<kcScopedAttentionHandler> attentionHandler_;

    std::vector<kcSimFifoWrite> writeLog_;
};
