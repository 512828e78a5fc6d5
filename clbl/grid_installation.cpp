// clbl/grid_installation.cpp
// Installing the candidate table of a new grid pass: a grid around the
// present settings, or an extrapolation along the last improvement.
#include <cmath>

#include "clbl/internal/candidate_tables.h"
#include "clbl/internal/search_constants.h"
#include "clbl/internal/search_state.h"
#include "clbl/internal/snap_to_step.h"
#include "clbl/tool.h"

namespace {
constexpr double kRestartSpread = 5.0;      // first grid after the initial sweep: narrow
constexpr double kFirstRoundSpread = 25.0;  // first grid with nothing scored yet: wide
constexpr double kHalfStep = 0.5;           // extrapolation moves by multiples of half the last move
constexpr int kExtrapolationSteps = 4;

// value clamped into [0, 1] (the lower bound first, so NaN becomes 0),
// then snapped to step.
double clampedUnitSetting(double value, double step) {
    if (!(value >= 0.0))
        value = 0.0;
    else if (value > 1.0)
        value = 1.0;
    return snapToStep(value, step);
}
}  // namespace

void kcColorBalanceTool::initializeSettingsForColorImage(bool restart) {
    kcColorBalanceToolState& s = *state_;
    std::vector<kcColorCameraSettings>& previous = previousCandidates();
    if (restart || s.isFirstRound) {
        s.gridCount = 0;
        s.searchSpread = restart ? kRestartSpread : kFirstRoundSpread;
        previous.clear();
    }
    // Nothing of the table just finished is proposed again.
    if (!s.candidates.empty()) previous = s.candidates;
    s.candidates = candidateGridAround(params_, currentSettings_, s.searchSpread, previous, s.isFirstRound || restart);
    // With nothing scored yet, the centre itself is measured too, last.
    if (s.isFirstRound) s.candidates.push_back(currentSettings_);
    s.previousSettings = currentSettings_;
    s.candidateIndex = 0;
    s.improvedInRound = false;
    assignNextSettings(true);
}

void kcColorBalanceTool::initializeSettingsForColorImageUsingLastBestResult() {
    kcColorBalanceToolState& s = *state_;
    const kcColorCameraSettings best = currentSettings_;
    const double dExposure = (best.exposure() - s.previousSettings.exposure()) * kHalfStep;
    const double dContrast = (best.contrast() - s.previousSettings.contrast()) * kHalfStep;
    const double dBrightness = (best.brightness() - s.previousSettings.brightness()) * kHalfStep;
    s.candidates.clear();

    const kcRange range = params_.exposureRange();
    kcColorCameraSettings point = best;
    for (int k = 1; k <= kExtrapolationSteps; ++k) {
        const double factor = static_cast<double>(k);
        if (params_.isExposureEnabled()) {
            double e = factor * dExposure + best.exposure();
            if (!(e >= range.start())) e = range.start();
            if (e > range.end()) e = range.end();
            point.exposure(snapToStep(e, params_.minExposureStepSize()));
        }
        if (params_.isContrastEnabled())
            point.contrast(clampedUnitSetting(factor * dContrast + best.contrast(), params_.minContrastStepSize()));
        if (params_.isBrightnessEnabled())
            point.brightness(
                clampedUnitSetting(factor * dBrightness + best.brightness(), params_.minBrightnessStepSize()));
        // Only a repeat of the point just before is dropped.
        if (s.candidates.empty() || !isSameSettings(point, s.candidates.back())) s.candidates.push_back(point);
    }
    s.previousSettings = best;
    s.candidateIndex = 0;
    s.improvedInRound = false;
    assignNextSettings(true);
}
