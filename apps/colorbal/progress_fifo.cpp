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

// A tap write that sets channel 0.
bool setsChannel0(long tap) { return tap == kcContrastBrightnessProp::kAllTaps || tap == 0; }

// Runs `write`; on success `known` holds `value`, on failure it is forgotten
// (the property may hold anything then) and the failure passes on.
template <class Write>
void remembered(std::optional<double>& known, double value, bool remember, Write write) {
    try {
        write();
    } catch (...) {
        known.reset();
        throw;
    }
    if (remember) known = value;
}

}  // namespace

kcProgressFifo::kcProgressFifo(kcPtrHandle<kcAcqFifo> inner, Callback callback)
    : inner_(std::move(inner)), callback_(std::move(callback)) {
    if (inner_.isNull()) throw kcBadPointer(L"kcProgressFifo needs a FIFO to forward to, got an empty handle");
    const kcAcqProps& props = inner_->properties();
    props_ = kcAcqProps(props.hasExposureProp() ? static_cast<kcExposureProp*>(this) : nullptr,
                        props.hasContrastBrightnessProp() ? static_cast<kcContrastBrightnessProp*>(this) : nullptr,
                        props.has8BitInputLutProp() ? static_cast<kc8BitInputLutProp*>(this) : nullptr);
}

bool kcProgressFifo::start(unsigned long flags) { return inner_->start(flags); }

kcPtrHandle<kcAcqImage> kcProgressFifo::completeAcq(const CompleteArgs& args) {
    kcAcquireInfo ownInfo;
    CompleteArgs forwarded = args;
    if (forwarded.acqInfo == nullptr) forwarded.acqInfo = &ownInfo;
    kcPtrHandle<kcAcqImage> image = inner_->completeAcq(forwarded);

    ++progress_.acquisitions;
    progress_.failed = forwarded.acqInfo->failure().isFailure() || image.isNull() || !image->isBound();
    progress_.settings = knownSettings();
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

std::optional<kcColorCameraSettings> kcProgressFifo::knownSettings() {
    if (!props_.hasExposureProp() || !props_.hasContrastBrightnessProp()) return std::nullopt;
    return kcColorCameraSettings(exposure(), contrast(eChannel0), brightness(eChannel0));
}

double kcProgressFifo::exposure() const {
    if (!exposure_) exposure_ = inner_->properties().exposureProp().exposure();
    return *exposure_;
}

void kcProgressFifo::exposure(double seconds) {
    remembered(exposure_, seconds, true, [&] { inner_->properties().exposureProp().exposure(seconds); });
}

double kcProgressFifo::contrast(Channel channel) const {
    if (channel != eChannel0) return inner_->properties().contrastBrightnessProp().contrast(channel);
    if (!contrast_) contrast_ = inner_->properties().contrastBrightnessProp().contrast(eChannel0);
    return *contrast_;
}

double kcProgressFifo::brightness(Channel channel) const {
    if (channel != eChannel0) return inner_->properties().contrastBrightnessProp().brightness(channel);
    if (!brightness_) brightness_ = inner_->properties().contrastBrightnessProp().brightness(eChannel0);
    return *brightness_;
}

void kcProgressFifo::setContrastEx(double value, long tap) {
    remembered(contrast_, value, setsChannel0(tap),
               [&] { inner_->properties().contrastBrightnessProp().setContrastEx(value, tap); });
}

void kcProgressFifo::setBrightnessEx(double value, long tap) {
    remembered(brightness_, value, setsChannel0(tap),
               [&] { inner_->properties().contrastBrightnessProp().setBrightnessEx(value, tap); });
}

long kcProgressFifo::numTaps() const { return inner_->properties().contrastBrightnessProp().numTaps(); }

std::vector<unsigned char> kcProgressFifo::inputLut(LutChannel channel) const {
    return inner_->properties().inputLutProp().inputLut(channel);
}

void kcProgressFifo::inputLut(const unsigned char* table) { inner_->properties().inputLutProp().inputLut(table); }

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
