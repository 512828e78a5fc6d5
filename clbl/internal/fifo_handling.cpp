// clbl/internal/fifo_handling.cpp
#include "clbl/internal/fifo_handling.h"

#include <limits>
#include <string>
#include <utility>

#include "toolkit/acq/acq_properties.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/sys/attention.h"

namespace {
constexpr std::size_t kLutEntries = kc8BitInputLutProp::kLutSize;  // entries of an 8-bit input LUT
constexpr unsigned long kStartFlags = 0;                           // start() flags word, reserved

kcContrastBrightnessProp& contrastBrightness(const kcPtrHandle<kcAcqFifo>& fifo) {
    return fifo->properties().contrastBrightnessProp();
}

// Runs one restore step, keeping its failure if it is the first.
template <class Step>
void attempt(std::exception_ptr& firstFailure, Step step) noexcept {
    try {
        step();
    } catch (...) {
        if (!firstFailure) firstFailure = std::current_exception();
    }
}
}  // namespace

kcFifoPropertiesSaver::kcFifoPropertiesSaver(kcPtrHandle<kcAcqFifo> fifo)
    : fifo_(std::move(fifo)),
      inputLut_(kLutEntries, 0),
      triggerEnable_(fifo_->triggerEnable()),
      triggerModel_(fifo_->triggerModel()),
      contrast_(contrastBrightness(fifo_).contrast(kcContrastBrightnessProp::eChannel0)),
      brightness_(contrastBrightness(fifo_).brightness(kcContrastBrightnessProp::eChannel0)),
      exposure_(fifo_->properties().exposureProp().exposure()) {
    const std::vector<unsigned char> lut =
        fifo_->properties().inputLutProp().inputLut(kc8BitInputLutProp::eLutChannel0);
    // A short table would leave the copy incomplete and a long one would not
    // be restored in full; neither can be put back as found.
    if (lut.size() != kLutEntries)
        throw kcBadArgument(L"the FIFO's channel-0 input LUT has " + std::to_wstring(lut.size()) + L" entries, not " +
                            std::to_wstring(kLutEntries));
    for (std::size_t i = 0; i < kLutEntries; ++i) inputLut_[i] = lut[i];
}

kcFifoPropertiesSaver::~kcFifoPropertiesSaver() {
    // Either restore() already ran (and reported), or an exception is on its
    // way out; a failure here has nowhere to go.
    if (!restored_) {
        restored_ = true;
        static_cast<void>(writeBack());
    }
}

void kcFifoPropertiesSaver::restore() {
    if (restored_) return;
    restored_ = true;
    if (std::exception_ptr failure = writeBack()) std::rethrow_exception(failure);
}

std::exception_ptr kcFifoPropertiesSaver::writeBack() noexcept {
    std::exception_ptr firstFailure;
    // The LUT and the trigger model change while triggering is off, and
    // triggering comes back last, so no image is taken half-restored.
    attempt(firstFailure, [&] { fifo_->triggerEnable(false); });
    attempt(firstFailure, [&] { fifo_->properties().inputLutProp().inputLut(inputLut_.data()); });
    attempt(firstFailure, [&] { fifo_->triggerModel(triggerModel_); });
    attempt(firstFailure,
            [&] { contrastBrightness(fifo_).setContrastEx(contrast_, kcContrastBrightnessProp::kAllTaps); });
    attempt(firstFailure,
            [&] { contrastBrightness(fifo_).setBrightnessEx(brightness_, kcContrastBrightnessProp::kAllTaps); });
    attempt(firstFailure, [&] { fifo_->properties().exposureProp().exposure(exposure_); });
    attempt(firstFailure, [&] { fifo_->triggerEnable(triggerEnable_); });
    return firstFailure;
}

void kfApplySettingsToFifo(kcPtrHandle<kcAcqFifo> fifo, kcColorCameraSettings settings) {
    fifo->triggerEnable(false);
    fifo->properties().exposureProp().exposure(settings.exposure());
    contrastBrightness(fifo).setContrastEx(settings.contrast(), kcContrastBrightnessProp::kAllTaps);
    contrastBrightness(fifo).setBrightnessEx(settings.brightness(), kcContrastBrightnessProp::kAllTaps);
    fifo->triggerEnable(true);
}

kcPtrHandle<kcAcqImage> kfAcquireWithSettings(kcPtrHandle<kcAcqFifo> fifo, const kcColorCameraSettings& settings,
                                              kcAcquireInfo& acqInfo, bool& failed) {
    // A pending stop request ends the run before the FIFO is touched.
    kfThrowExceptionOnFailure(ksys_attention_check());
    kfApplySettingsToFifo(fifo, settings);
    fifo->start(kStartFlags);

    kcAcqFifo::CompleteArgs args;
    args.autoRelease = true;
    args.timeout = std::numeric_limits<double>::infinity();
    args.noWait = false;
    args.reserved = 0;
    args.acqInfo = &acqInfo;
    kcPtrHandle<kcAcqImage> image = fifo->completeAcq(args);

    // An empty handle without a failure code is the FIFO's error, not a
    // failed acquisition: dereferencing it throws kcBadPointer.
    failed = acqInfo.failure().code() != 0 || !image->isBound();
    return image;
}
