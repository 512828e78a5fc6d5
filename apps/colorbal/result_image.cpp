// apps/colorbal/result_image.cpp
#include "apps/colorbal/result_image.h"

#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/exceptions.h"

namespace {

// Runs `step`, keeping the first failure of a series in `first`.
template <class Step>
void attempt(std::exception_ptr& first, Step step) noexcept {
    try {
        step();
    } catch (...) {
        if (!first) first = std::current_exception();
    }
}

}  // namespace

kcFifoHandBack::kcFifoHandBack(kcPtrHandle<kcAcqFifo> fifo)
    : fifo_(std::move(fifo)), triggerEnable_(fifo_->triggerEnable()), triggerModel_(fifo_->triggerModel()) {
    kcAcqProps& props = fifo_->properties();
    if (props.hasExposureProp()) exposure_ = props.exposureProp().exposure();
    if (props.hasContrastBrightnessProp()) {
        // Every tap keeps its own values: a camera whose taps differ comes
        // back with each tap as it was.
        const kcContrastBrightnessProp& taps = props.contrastBrightnessProp();
        for (long tap = 0; tap < taps.numTaps(); ++tap) {
            const auto channel = static_cast<kcContrastBrightnessProp::Channel>(tap);
            taps_.emplace_back(taps.contrast(channel), taps.brightness(channel));
        }
    }
    if (props.has8BitInputLutProp()) {
        inputLut_ = props.inputLutProp().inputLut(kc8BitInputLutProp::eLutChannel0);
        // A table of another size cannot be written back whole.
        if (inputLut_.size() != static_cast<std::size_t>(kc8BitInputLutProp::kLutSize))
            throw kcBadArgument(L"the FIFO's input LUT has " + std::to_wstring(inputLut_.size()) + L" entries, not " +
                                std::to_wstring(kc8BitInputLutProp::kLutSize));
    }
}

kcFifoHandBack::~kcFifoHandBack() {
    if (!done_) static_cast<void>(writeBack());
}

void kcFifoHandBack::restore() {
    if (done_) return;
    done_ = true;
    if (const std::exception_ptr failure = writeBack()) std::rethrow_exception(failure);
}

std::exception_ptr kcFifoHandBack::writeBack() noexcept {
    done_ = true;
    std::exception_ptr first;
    kcAcqProps& props = fifo_->properties();
    // Triggering is off while the rest changes and comes back last, so no
    // image is taken half restored.
    attempt(first, [&] { fifo_->triggerEnable(false); });
    if (!inputLut_.empty()) attempt(first, [&] { props.inputLutProp().inputLut(inputLut_.data()); });
    attempt(first, [&] { fifo_->triggerModel(triggerModel_); });
    for (std::size_t tap = 0; tap < taps_.size(); ++tap) {
        const double contrast = taps_[tap].first, brightness = taps_[tap].second;
        const long t = static_cast<long>(tap);
        attempt(first, [&] { props.contrastBrightnessProp().setContrastEx(contrast, t); });
        attempt(first, [&] { props.contrastBrightnessProp().setBrightnessEx(brightness, t); });
    }
    if (exposure_) attempt(first, [&] { props.exposureProp().exposure(*exposure_); });
    attempt(first, [&] { fifo_->triggerEnable(triggerEnable_); });
    return first;
}

kcPtrHandle<kcAcqImage> kfImageAtResult(const kcPtrHandle<kcAcqFifo>& fifo, const kcColorBalanceResult& result,
                                        kcAcquireInfo& acqInfo) {
    kcFifoHandBack handBack(fifo);
    fifo->triggerEnable(false);
    fifo->triggerModel(kfManualTrigger());
    result.setFifoProperties(fifo);
    fifo->triggerEnable(true);
    kcPtrHandle<kcAcqImage> image;
    if (fifo->start(0)) {
        kcAcqFifo::CompleteArgs args;
        args.acqInfo = &acqInfo;
        image = fifo->completeAcq(args);
    }
    handBack.restore();
    if (image.isNull() || acqInfo.failure().isFailure() || !image->isBound()) return kcPtrHandle<kcAcqImage>();
    return image;
}
