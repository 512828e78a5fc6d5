// clbl/internal/fifo_handling.h
// FIFO handling of the one-shot driver: saving and restoring the properties
// it changes, writing settings to a FIFO and acquiring one image with them.
#pragma once

#include <exception>
#include <vector>

#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/ptr_handle.h"

// Captures, on construction, the FIFO properties that a balancing run
// changes (trigger enable, trigger model, channel-0 contrast and brightness,
// exposure and the channel-0 input LUT) and writes them back, once:
//
// - restore() runs the restore on the normal path. Every step is attempted
//   even when an earlier one fails; the first failure is then rethrown, so
//   a restore that did not succeed reaches the caller.
// - The destructor runs the restore only when restore() has not run (that
//   is, while an exception unwinds, or when the owner never called it). It
//   cannot report anything, so it attempts every step and swallows their
//   failures: a second exception must not end the process while another
//   one is unwinding.
//
// Restore order: disable triggering, LUT, trigger model, contrast and
// brightness (all taps, so every tap ends at the channel-0 value), exposure,
// trigger enable as captured.
class kcFifoPropertiesSaver {
public:
    // Captures the properties; changes nothing on the FIFO. kcBadPointer
    // for an empty handle; kcBadArgument when the FIFO's LUT does not have
    // 256 entries.
    explicit kcFifoPropertiesSaver(kcPtrHandle<kcAcqFifo> fifo);
    ~kcFifoPropertiesSaver();
    kcFifoPropertiesSaver(const kcFifoPropertiesSaver&) = delete;
    kcFifoPropertiesSaver& operator=(const kcFifoPropertiesSaver&) = delete;

    // Writes the captured properties back, if not done already; rethrows
    // the first failing write after all steps were attempted.
    void restore();

private:
    // Runs every restore step; returns the first failure (null if none).
    std::exception_ptr writeBack() noexcept;

    kcPtrHandle<kcAcqFifo> fifo_;
    std::vector<unsigned char> inputLut_;
    bool triggerEnable_;
    // Held by reference: trigger models are long-lived objects.
    const kcTriggerModel& triggerModel_;
    double contrast_;
    double brightness_;
    double exposure_;
    bool restored_ = false;
};

// Writes the settings: disable triggering, exposure, contrast and
// brightness (all taps), then enable triggering, whatever it was before.
// The LUT and the trigger model are left alone.
void kfApplySettingsToFifo(kcPtrHandle<kcAcqFifo> fifo, kcColorCameraSettings settings);

// Polls the attention check (its failure is thrown), applies the settings,
// acquires one image and returns it. `acqInfo` receives what the completion
// reports; `failed` is set when it reports a failure code or the image is
// not bound. kcBadPointer when the completion returns an empty handle
// without a failure code. kcTimeout::Expired and other errors of the FIFO
// pass through.
kcPtrHandle<kcAcqImage> kfAcquireWithSettings(kcPtrHandle<kcAcqFifo> fifo, const kcColorCameraSettings& settings,
                                              kcAcquireInfo& acqInfo, bool& failed);
