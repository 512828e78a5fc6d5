// apps/colorbal/progress_fifo.cpp
#include "apps/colorbal/progress_fifo.h"

#include <utility>

namespace {

// The settings the FIFO holds now, when it has all three properties.
std::optional<kcColorCameraSettings> currentSettings(kcAcqFifo& fifo) {
    kcAcqProps& props = fifo.properties();
    if (!props.hasExposureProp() || !props.hasContrastBrightnessProp()) return std::nullopt;
    const kcContrastBrightnessProp& cb = props.contrastBrightnessProp();
    return kcColorCameraSettings(props.exposureProp().exposure(), cb.contrast(kcContrastBrightnessProp::eChannel0),
                                 cb.brightness(kcContrastBrightnessProp::eChannel0));
}

}  // namespace

kcProgressFifo::kcProgressFifo(kcPtrHandle<kcAcqFifo> inner, Callback callback)
    : inner_(std::move(inner)), callback_(std::move(callback)) {
    if (inner_.isNull()) throw kcBadPointer(L"kcProgressFifo needs a FIFO to forward to, got an empty handle");
}

bool kcProgressFifo::start(unsigned long flags) { return inner_->start(flags); }

kcPtrHandle<kcAcqImage> kcProgressFifo::completeAcq(const CompleteArgs& args) {
    kcAcquireInfo ownInfo;
    CompleteArgs forwarded = args;
    if (forwarded.acqInfo == nullptr) forwarded.acqInfo = &ownInfo;
    kcPtrHandle<kcAcqImage> image = inner_->completeAcq(forwarded);

    ++progress_.acquisitions;
    progress_.failed = forwarded.acqInfo->failure().isFailure() || image.isNull() || !image->isBound();
    progress_.settings = currentSettings(*inner_);
    if (callback_) callback_(progress_);
    return image;
}

bool kcProgressFifo::triggerEnable() const { return inner_->triggerEnable(); }

void kcProgressFifo::triggerEnable(bool enable) { inner_->triggerEnable(enable); }

const kcTriggerModel& kcProgressFifo::triggerModel() const { return inner_->triggerModel(); }

void kcProgressFifo::triggerModel(const kcTriggerModel& model) { inner_->triggerModel(model); }

kcAcqProps& kcProgressFifo::properties() { return inner_->properties(); }
