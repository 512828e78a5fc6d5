// clbl/grey_sweeps.cpp
// The grey path: coarse exposure and contrast sweeps that bring the camera
// into range when the initial colour sweep found nothing usable, judged by
// the robust maximum grey level of each image; then the hand-over to the
// grid passes of the colour path.
#include <cmath>

#include "clbl/internal/color_measurement.h"
#include "clbl/internal/search_constants.h"
#include "clbl/internal/search_state.h"
#include "clbl/internal/snap_to_step.h"
#include "clbl/tool.h"

namespace {
constexpr double kExposureSweepFactor = 1.5;      // exposure growth per image
constexpr double kContrastSweepIncrement = 0.05;  // contrast growth per image
constexpr double kContrastCeiling = 1.0;
// Bound on the repetitions that look for a contrast which differs from the
// present one; with a finite contrast in 0..1 a few dozen suffice.
constexpr int kMaxContrastRepetitions = 1000;
}  // namespace

kcColorCameraSettings kcColorBalanceTool::nextSettingsFromGreyImage(const kcPelBuffer<unsigned char>& image,
                                                                    kcDiagObject* /*diag*/, unsigned long /*flags*/) {
    kcColorBalanceToolState& s = *state_;
    s.stepTwoDone = false;
    switch (s.phase) {
        case kPhaseGreyExposureSweep:
            return greyExposureSweep(image);
        case kPhaseGreyContrastSweep:
            return greyContrastSweep(image);
        case kPhaseRestart:
            // The image of the hand-back is not measured; the next one goes to
            // the colour path, still in the restart phase.
            greyMode_ = false;
            return currentSettings_;
        default:
            return currentSettings_;
    }
}

double kcColorBalanceTool::firstValueAtFinalGreyLevel() const {
    const std::vector<kcGreySweepEntry>& sweep = state_->greySweep;
    const std::uint32_t finalLevel = sweep.back().greyMax;
    for (const kcGreySweepEntry& entry : sweep)
        if (entry.greyMax == finalLevel) return entry.value;
    return sweep.back().value;
}

kcColorCameraSettings kcColorBalanceTool::greyExposureSweep(const kcPelBuffer<unsigned char>& image) {
    kcColorBalanceToolState& s = *state_;
    s.greySweep.push_back({currentSettings_.exposure(), static_cast<std::uint32_t>(erodedPlaneMax(image))});

    const double current = currentSettings_.exposure();
    // An exposure that is not a finite number above 0 cannot grow by
    // multiplication: such a sweep is finished at once.
    if (params_.isExposureEnabled() && std::isfinite(current) && current > 0.0) {
        const double end = params_.exposureRange().end();
        const double step = params_.minExposureStepSize();
        // x grows geometrically (unrounded) and reaches infinity after a few
        // thousand repetitions at most, which always ends the loop.
        double x = current;
        for (;;) {
            x = x * kExposureSweepFactor;
            const double y = snapToStep(x, step);
            if (y > end) break;  // beyond the range: the sweep is finished
            if (!isSameValue(y, current)) {
                currentSettings_.exposure(y);
                return currentSettings_;
            }
        }
    }

    // The smallest exposure at which the maximum had reached its final level.
    if (params_.isExposureEnabled() && !s.greySweep.empty()) currentSettings_.exposure(firstValueAtFinalGreyLevel());
    s.greySweep.clear();
    if (params_.isContrastEnabled()) currentSettings_.contrast(0.0);
    s.phase = kPhaseGreyContrastSweep;
    return currentSettings_;
}

kcColorCameraSettings kcColorBalanceTool::greyContrastSweep(const kcPelBuffer<unsigned char>& image) {
    kcColorBalanceToolState& s = *state_;
    s.greySweep.push_back({currentSettings_.contrast(), static_cast<std::uint32_t>(erodedPlaneMax(image))});

    const double current = currentSettings_.contrast();
    if (params_.isContrastEnabled() && std::isfinite(current) &&
        !(current + kContrastSweepIncrement > kContrastCeiling)) {
        const double step = params_.minContrastStepSize();
        double x = current;
        for (int repetition = 0; repetition < kMaxContrastRepetitions; ++repetition) {
            x = x + kContrastSweepIncrement;
            const double y = snapToStep(x, step);
            if (y > kContrastCeiling) break;
            if (!isSameValue(y, current)) {
                currentSettings_.contrast(y);
                return currentSettings_;
            }
        }
    }

    if (params_.isContrastEnabled() && !s.greySweep.empty()) currentSettings_.contrast(firstValueAtFinalGreyLevel());
    greyMode_ = false;
    initializeSettingsForColorImage(false);
    s.phase = kPhaseGridPass;
    return currentSettings_;
}
