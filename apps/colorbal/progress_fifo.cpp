// apps/colorbal/progress_fifo.cpp
#include "apps/colorbal/progress_fifo.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "apps/colorbal/number_format.h"

namespace {

// The progress line is redrawn at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

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
    progress_.image = image;
    if (callback_) callback_(progress_);
    // The last image is not kept alive by the wrapper.
    progress_.image = kcPtrHandle<kcAcqImage>();
    return image;
}

bool kcProgressFifo::triggerEnable() const { return inner_->triggerEnable(); }

void kcProgressFifo::triggerEnable(bool enable) { inner_->triggerEnable(enable); }

const kcTriggerModel& kcProgressFifo::triggerModel() const { return inner_->triggerModel(); }

void kcProgressFifo::triggerModel(const kcTriggerModel& model) { inner_->triggerModel(model); }

kcAcqProps& kcProgressFifo::properties() { return inner_->properties(); }

kcProgressLine::kcProgressLine(std::ostream& err) : err_(err), start_(Clock::now()) {}

kcProgressLine::~kcProgressLine() { clear(); }

std::string kcProgressLine::text(const kcAcqProgress& progress, double seconds) {
    std::array<char, 160> line{};
    if (progress.settings)
        std::snprintf(line.data(), line.size(),
                      "balancing: %lu images, last at exposure %s contrast %.4f brightness %.4f, %.1f s",
                      progress.acquisitions, kfExposureText(progress.settings->exposure()).c_str(),
                      progress.settings->contrast(), progress.settings->brightness(), seconds);
    else
        std::snprintf(line.data(), line.size(), "balancing: %lu images, %.1f s", progress.acquisitions, seconds);
    return line.data();
}

void kcProgressLine::update(const kcAcqProgress& progress) {
    const Clock::time_point now = Clock::now();
    if (shown_ > 0 && now - lastDrawn_ < kProgressInterval) return;
    lastDrawn_ = now;
    draw(text(progress, std::chrono::duration<double>(now - start_).count()));
}

void kcProgressLine::clear() {
    if (shown_ == 0) return;
    err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
    shown_ = 0;
}

void kcProgressLine::draw(const std::string& line) {
    // Blanks over what is left of a longer previous line.
    const std::size_t pad = shown_ > line.size() ? shown_ - line.size() : 0;
    err_ << '\r' << line << std::string(pad, ' ') << std::flush;
    shown_ = std::max(line.size(), std::size_t(1));
}
