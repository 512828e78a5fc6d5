// toolkit/sim/sim_fifo.cpp
#include "toolkit/sim/sim_fifo.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <utility>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/text.h"

namespace {
constexpr double kFramePeriod = 1.0 / 30.0;  // seconds between frames when the exposure is shorter

std::wstring number(double value) {
    std::string text = std::to_string(value);
    return kfWiden(text);
}

void requireFinite(double value, const wchar_t* what) {
    if (!std::isfinite(value)) throw kcBadArgument(std::wstring(what) + L" " + number(value) + L" is not finite");
}
}  // namespace

// What the attention handler of an armed fault reads: the FIFO's count of
// acquisitions since the faults were set. Shared with the handler, which
// may be called from any thread.
struct kcSimFifo::AttentionFault {
    std::atomic<unsigned long> acquisitions{0};
    unsigned long before = 0;
    long status = 0;
};

kcSimFifo::kcSimFifo(kcSimCamera camera, const kcSimFifoOptions& options)
    : camera_(std::move(camera)), exposure_(options.exposure), lut_(), triggerModel_(&kfFreeRunTrigger()) {
    if (options.numTaps < 1 || options.numTaps > kMaxTaps)
        throw kcBadArgument(L"number of taps " + std::to_wstring(options.numTaps) + L" is outside 1.." +
                            std::to_wstring(kMaxTaps));
    if (options.numTaps > camera_.width())
        throw kcBadArgument(L"number of taps " + std::to_wstring(options.numTaps) + L" exceeds the image width " +
                            std::to_wstring(camera_.width()));
    requireFinite(options.exposure, L"exposure");
    if (options.exposure < 0.0) throw kcBadArgument(L"exposure " + number(options.exposure) + L" is negative");
    requireFinite(options.contrast, L"contrast");
    requireFinite(options.brightness, L"brightness");
    contrast_.assign(static_cast<std::size_t>(options.numTaps), options.contrast);
    brightness_.assign(static_cast<std::size_t>(options.numTaps), options.brightness);
    std::copy(positive8BitLut, positive8BitLut + kLutSize, lut_.begin());
    props_ = kcAcqProps(options.exposureProp ? static_cast<kcExposureProp*>(this) : nullptr,
                        options.contrastBrightnessProp ? static_cast<kcContrastBrightnessProp*>(this) : nullptr,
                        options.inputLutProp ? static_cast<kc8BitInputLutProp*>(this) : nullptr);
}

kcSimFifo::~kcSimFifo() = default;

bool kcSimFifo::start(unsigned long /*flags*/) {
    if (pending_ >= kMaxPending) return false;
    ++pending_;
    return true;
}

kcPtrHandle<kcAcqImage> kcSimFifo::completeAcq(const CompleteArgs& args) {
    if (std::isnan(args.timeout) || args.timeout < 0.0)
        throw kcBadArgument(L"completion timeout " + number(args.timeout) + L" is not a waiting time");
    if (args.reserved != 0)
        throw kcBadArgument(L"reserved completion field is " + std::to_wstring(args.reserved) + L", not 0");
    if (pending_ == 0) throw kcTimeout::Expired(L"no acquisition was started on the simulated FIFO");
    // A started acquisition waits for its trigger; in the simulator that
    // trigger never comes when triggering is off or hardware-triggered, so
    // the acquisition stays queued and the wait times out.
    if (!triggerEnable_) throw kcTimeout::Expired(L"triggering is disabled on the simulated FIFO");
    if (triggerModel_ == &kfHardwareTrigger())
        throw kcTimeout::Expired(L"no hardware trigger arrives on the simulated FIFO");

    --pending_;
    ++acquisitions_;
    const unsigned long n = acquisitions_ - faultBase_;
    if (attention_) attention_->acquisitions.store(n);
    clock_ += std::max(kFramePeriod, exposure_);

    if (n == faults_.timeoutAt)
        throw kcTimeout::Expired(L"simulated timeout of acquisition " + std::to_wstring(acquisitions_));

    if (args.acqInfo != nullptr) {
        args.acqInfo->failure(kcAcqFailure(n == faults_.failureCodeAt ? faults_.failureCode : 0));
        args.acqInfo->acquisitionNumber(acquisitions_);
        args.acqInfo->timeStamp(clock_);
    }
    if (n == faults_.emptyHandleAt) return kcPtrHandle<kcAcqImage>();
    if (n == faults_.unboundImageAt) return kcPtrHandle<kcAcqImage>(new kcAcqImage());
    return kcPtrHandle<kcAcqImage>(new kcAcqImage(camera_.render(currentExposure())));
}

void kcSimFifo::triggerEnable(bool enable) {
    kcSimFifoWrite entry;
    entry.kind = kcSimFifoWrite::eTriggerEnable;
    entry.value = enable ? 1.0 : 0.0;
    receiveWrite(std::move(entry));
    triggerEnable_ = enable;
    markApplied();
}

void kcSimFifo::triggerModel(const kcTriggerModel& model) {
    kcSimFifoWrite entry;
    entry.kind = kcSimFifoWrite::eTriggerModel;
    entry.triggerModel = &model;
    receiveWrite(std::move(entry));
    triggerModel_ = &model;
    markApplied();
}

void kcSimFifo::exposure(double seconds) {
    kcSimFifoWrite entry;
    entry.kind = kcSimFifoWrite::eExposure;
    entry.value = seconds;
    receiveWrite(std::move(entry));
    requireFinite(seconds, L"exposure");
    if (seconds < 0.0) throw kcBadArgument(L"exposure " + number(seconds) + L" is negative");
    exposure_ = seconds;
    markApplied();
}

double kcSimFifo::contrast(Channel channel) const { return contrast_[channelIndex(channel)]; }

double kcSimFifo::brightness(Channel channel) const { return brightness_[channelIndex(channel)]; }

void kcSimFifo::writeTaps(kcSimFifoWrite::Kind kind, double value, long tap, std::vector<double>& taps,
                          const wchar_t* what) {
    kcSimFifoWrite entry;
    entry.kind = kind;
    entry.value = value;
    entry.tap = tap;
    receiveWrite(std::move(entry));
    requireFinite(value, what);
    std::fill(taps.begin() + static_cast<std::ptrdiff_t>(firstTap(tap)),
              taps.begin() + static_cast<std::ptrdiff_t>(endTap(tap)), value);
    markApplied();
}

void kcSimFifo::setContrastEx(double value, long tap) {
    writeTaps(kcSimFifoWrite::eContrast, value, tap, contrast_, L"contrast");
}

void kcSimFifo::setBrightnessEx(double value, long tap) {
    writeTaps(kcSimFifoWrite::eBrightness, value, tap, brightness_, L"brightness");
}

std::vector<unsigned char> kcSimFifo::inputLut(LutChannel channel) const {
    if (channel != eLutChannel0)
        throw kcBadArgument(L"LUT channel " + std::to_wstring(static_cast<long>(channel)) +
                            L" does not exist: the simulated FIFO has one LUT, channel 0");
    return std::vector<unsigned char>(lut_.begin(), lut_.end());
}

void kcSimFifo::inputLut(const unsigned char* table) {
    kcSimFifoWrite entry;
    entry.kind = kcSimFifoWrite::eInputLut;
    if (table != nullptr) entry.lut.assign(table, table + kLutSize);
    receiveWrite(std::move(entry));
    if (table == nullptr) throw kcBadPointer(L"input LUT table is a null pointer");
    std::copy(table, table + kLutSize, lut_.begin());
    markApplied();
}

void kcSimFifo::setFaults(const kcSimFifoFaults& faults) {
    if (faults.failureCodeAt != 0 && faults.failureCode == 0)
        throw kcBadArgument(L"injected failure code is 0, which reports success");
    if (faults.attentionFailureBefore != 0 && faults.attentionStatus == 0)
        throw kcBadArgument(L"injected attention status is 0, which reports success");
    // Put the previous handler back before a new one is installed.
    attentionHandler_.reset();
    attention_.reset();
    faults_ = faults;
    faultBase_ = acquisitions_;
    countedWrites_ = 0;
    if (faults_.attentionFailureBefore != 0) {
        attention_ = std::make_shared<AttentionFault>();
        attention_->before = faults_.attentionFailureBefore;
        attention_->status = faults_.attentionStatus;
        std::shared_ptr<AttentionFault> state = attention_;
        attentionHandler_.emplace(
            [state]() -> long { return state->acquisitions.load() + 1 == state->before ? state->status : 0; });
    }
}

kcSimExposure kcSimFifo::currentExposure() const {
    kcSimExposure settings;
    settings.exposure = exposure_;
    settings.tapContrast = contrast_;
    settings.tapBrightness = brightness_;
    settings.lut = lut_;
    return settings;
}

void kcSimFifo::receiveWrite(kcSimFifoWrite entry) {
    writeLog_.push_back(std::move(entry));
    const kcSimFifoWrite& logged = writeLog_.back();
    if (faults_.failWriteAt == 0) return;
    if (faults_.failWriteKind && *faults_.failWriteKind != logged.kind) return;
    ++countedWrites_;
    if (countedWrites_ == faults_.failWriteAt || (faults_.failLaterWrites && countedWrites_ > faults_.failWriteAt))
        throw kcStatusFailure(L"simulated failure of property write " + std::to_wstring(countedWrites_) + L": " +
                              kfWiden(logged.describe()));
}

std::size_t kcSimFifo::firstTap(long tap) const {
    if (tap == kAllTaps) return 0;
    if (tap < 0 || tap >= numTaps())
        throw kcBadArgument(L"tap " + std::to_wstring(tap) + L" is neither kAllTaps nor one of the taps 0.." +
                            std::to_wstring(numTaps() - 1));
    return static_cast<std::size_t>(tap);
}

std::size_t kcSimFifo::endTap(long tap) const { return tap == kAllTaps ? contrast_.size() : firstTap(tap) + 1; }

std::size_t kcSimFifo::channelIndex(long channel) const {
    if (channel < 0 || channel >= numTaps())
        throw kcBadArgument(L"channel " + std::to_wstring(channel) + L" is outside the taps 0.." +
                            std::to_wstring(numTaps() - 1));
    return static_cast<std::size_t>(channel);
}
