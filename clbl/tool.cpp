// clbl/tool.cpp
// The tool object: construction, init, the dispatch of each image to the
// grey or the colour path, and the walk through the candidate table.
#include "clbl/tool.h"

#include <cmath>

#include "clbl/internal/candidate_tables.h"
#include "clbl/internal/grey_conversion.h"
#include "clbl/internal/search_constants.h"
#include "clbl/internal/search_state.h"

namespace {
// Settings of the first image of a search on enabled axes (the exposure
// starts at the start of the exposure range).
constexpr double kFirstImageContrast = 1.0;
constexpr double kFirstImageBrightness = 0.2;
constexpr std::int32_t kDarkLevel = 5;  // plane values below this are dark
constexpr double kInitialSpread = 25.0;
}  // namespace

kcColorBalanceTool::kcColorBalanceTool() : state_(std::make_unique<kcColorBalanceToolState>()) {
    init(kcColorBalanceParams(), kcColorCameraSettings(0.0, 0.0, 0.0));
}

kcColorBalanceTool::~kcColorBalanceTool() = default;

kcColorCameraSettings kcColorBalanceTool::init(const kcColorBalanceParams& params, const kcColorCameraSettings& start) {
    kcColorBalanceToolState& s = *state_;
    params_ = params;
    done_ = false;
    triedSettings_.clear();
    s.darkLevel = kDarkLevel;
    s.isFirstRound = true;
    greyMode_ = false;
    s.greySweep.clear();
    s.bestHistory.clear();
    s.bestHistoryHits.clear();
    s.candidates.clear();
    s.candidateIndex = 0;
    s.gridCount = 0;
    s.searchSpread = kInitialSpread;
    s.improvedInRound = false;
    s.previousPassFailed = true;
    s.bestGoodCount = 0;

    currentSettings_ = start;
    bestSettings_ = start;
    if (params_.isExposureEnabled()) currentSettings_.exposure(params_.exposureRange().start());
    if (params_.isContrastEnabled()) currentSettings_.contrast(kFirstImageContrast);
    if (params_.isBrightnessEnabled()) currentSettings_.brightness(kFirstImageBrightness);
    s.initialSettings = currentSettings_;
    s.stepOneDone = false;
    s.stepTwoDone = false;
    s.stepThreeDone = false;

    // Built from the caller's start, not the starting values: disabled axes
    // keep the start's values, which currentSettings still holds.
    s.candidates = initialCandidateSettings(params_, start);
    assignNextSettings(false);
    s.phase = params_.isExposureEnabled() ? kPhaseInitialSweep : kPhaseInitialSweepFixedExposure;
    return currentSettings_;
}

kcColorCameraSettings kcColorBalanceTool::nextSettingsFromImages(kcPtrHandle<kcAcqImage>& image, kcDiagObject* diag,
                                                                 unsigned long flags) {
    if (greyMode_) {
        const kcPelBuffer<unsigned char> grey = kfGetGrey8PelBuffer(image);
        return nextSettingsFromGreyImage(grey, diag, flags);
    }
    const kc3PlanePelBuffer planes = image->get3PlanePelBuffer();
    return nextSettingsFromColorImage(planes, diag, flags);
}

bool kcColorBalanceTool::assignNextSettings(bool checkTriedSettings) {
    kcColorBalanceToolState& s = *state_;
    const std::size_t size = s.candidates.size();
    for (;;) {
        // Candidates that would change a disabled setting are passed over.
        std::size_t index = s.candidateIndex;
        for (; index < size; ++index) {
            const kcColorCameraSettings& c = s.candidates[index];
            if ((params_.isExposureEnabled() || c.exposure() == currentSettings_.exposure()) &&
                (params_.isContrastEnabled() || c.contrast() == currentSettings_.contrast()) &&
                (params_.isBrightnessEnabled() || c.brightness() == currentSettings_.brightness()))
                break;
        }
        if (index >= size) {
            if (s.candidateIndex < size) s.candidateIndex = static_cast<std::uint32_t>(size);
            return false;
        }
        s.candidateIndex = static_cast<std::uint32_t>(index);
        currentSettings_ = s.candidates[index];
        if (!checkTriedSettings || !isExcludedByTriedSettings(currentSettings_)) return true;
        ++s.candidateIndex;
    }
}

bool kcColorBalanceTool::isExcludedByTriedSettings(const kcColorCameraSettings& c) const {
    const double threshold = static_cast<double>(state_->bestGoodCount) * kExclusionFactor;
    for (const kcColorBalanceMeasuredSetting& tried : triedSettings_) {
        const kcColorCameraSettings& e = tried.settings;
        const kcColorBalanceMeasurement& m = tried.measurement;
        if (isSameSettings(c, e)) return true;
        const bool tooBright = static_cast<double>(m.pelCount - m.brightCount) < threshold &&
                               c.exposure() >= e.exposure() && e.contrast() <= c.contrast() &&
                               e.brightness() <= c.brightness();
        if (tooBright) return true;
        const bool tooDark = static_cast<double>(m.pelCount - m.darkCount) < threshold &&
                             c.exposure() <= e.exposure() && e.contrast() >= c.contrast() &&
                             e.brightness() >= c.brightness();
        if (tooDark) return true;
    }
    return false;
}
