// clbl/grid_pass.cpp
// The colour path: smoothing of every image, the dispatch on the phase, the
// grid pass (up to four images per candidate), the hand-over of one image
// to the grey path and the restart with a new grid.
#include <cmath>
#include <limits>

#include "clbl/internal/color_measurement.h"
#include "clbl/internal/search_constants.h"
#include "clbl/internal/search_state.h"
#include "clbl/internal/snap_to_step.h"
#include "clbl/tool.h"
#include "toolkit/imgproc/gauss_sample.h"

namespace {
// Smoothing: no subsampling unless the tool asks for it, kernel half-width 4.
constexpr long kSmoothingSample = 1;
constexpr long kSmoothingInitialHalfWidth = 2;
constexpr double kSmoothingGain = 1.0;
constexpr bool kSmoothingClip = true;
constexpr long kSmoothingHalfWidth = 4;

constexpr double kOverExposureFactor = 2.0;                         // second image of a candidate
constexpr double kUnderExposureFactor = 1.0 / kOverExposureFactor;  // fourth image of a candidate
constexpr std::int32_t kHitLimit = 3;  // a best setting coming back more often ends the search
constexpr double kSpreadHalving = 0.5;
constexpr double kSpreadDoubling = 2.0;
constexpr double kSpreadDoublingLimit = 5.0;  // the grid is enlarged only below this size
constexpr double kMinimumSpread = 1.0;        // the search ends when the grid shrinks below this
constexpr std::int32_t kRestartLimit = 1000;

// Adds one without overflowing, for counters that a caller who keeps
// calling after the end could push up indefinitely.
void increment(std::int32_t& counter) {
    if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}
}  // namespace

kc3PlanePelBuffer kcColorBalanceTool::smoothed(const kc3PlanePelBuffer& image) const {
    kcGaussSampleParams sampling(kSmoothingSample, kSmoothingInitialHalfWidth, kSmoothingGain, kSmoothingClip);
    if (subsamplingFactor_ != 0) sampling.sample(static_cast<long>(subsamplingFactor_));
    sampling.smoothness(kSmoothingHalfWidth);
    const kcPelBuffer<unsigned char> plane2 = kfGaussSample(image.plane2(), sampling);
    const kcPelBuffer<unsigned char> plane1 = kfGaussSample(image.plane1(), sampling);
    const kcPelBuffer<unsigned char> plane0 = kfGaussSample(image.plane0(), sampling);
    return kc3PlanePelBuffer(plane0, plane1, plane2);
}

kcColorCameraSettings kcColorBalanceTool::nextSettingsFromColorImage(const kc3PlanePelBuffer& image,
                                                                     kcDiagObject* /*diag*/, unsigned long /*flags*/) {
    // Every image is smoothed and subsampled before anything else; all that
    // is kept or measured below is the smoothed image.
    const kc3PlanePelBuffer small = smoothed(image);
    switch (state_->phase) {
        case kPhaseGridPass:
            return gridPassStep(small);
        case kPhaseTableExhausted:
            return handToGreyStep();
        case kPhaseRestart:
            return restart();
        case kPhaseInitialSweep:
            return initialSweepWithExposure(small);
        case kPhaseInitialSweepFixedExposure:
            return initialSweepWithoutExposure(small);
        default:
            return currentSettings_;
    }
}

kcColorCameraSettings kcColorBalanceTool::gridPassStep(const kc3PlanePelBuffer& image) {
    kcColorBalanceToolState& s = *state_;
    const kcRange range = params_.exposureRange();
    const bool exposureEnabled = params_.isExposureEnabled();

    // Step 1: the candidate's first image; ask for twice its exposure.
    if (!s.stepOneDone && !s.stepTwoDone && exposureEnabled && currentSettings_.exposure() < range.end()) {
        s.firstImage = image;
        double e = currentSettings_.exposure() * kOverExposureFactor;
        if (e > range.end()) e = range.end();
        e = snapToStep(e, params_.minExposureStepSize());
        s.stepOneDone = true;
        kcColorCameraSettings probe = currentSettings_;
        probe.exposure(e);
        return probe;
    }

    // Step 2: a cheap pre-check of the good pels before more images are
    // spent on the candidate.
    if (!s.stepTwoDone) {
        const std::int32_t count = s.stepOneDone ? countGoodPels(s.firstImage, image, s.darkLevel)
                                                 : countGoodPels(image, kc3PlanePelBuffer(), s.darkLevel);
        if (static_cast<double>(count) * kGoodCountMargin < static_cast<double>(s.bestGoodCount) && !s.isFirstRound)
            return advanceGridPass();
        if (s.stepOneDone)
            s.overexposedImage = image;
        else
            s.firstImage = image;
        s.stepTwoDone = true;
        return currentSettings_;
    }

    // Step 3: the candidate's second image; ask for half its exposure.
    if (!s.stepThreeDone && exposureEnabled && currentSettings_.exposure() > range.start()) {
        s.secondImage = image;
        double e = currentSettings_.exposure() * kUnderExposureFactor;
        if (!(e >= range.start())) e = range.start();
        e = snapToStep(e, params_.minExposureStepSize());
        s.stepThreeDone = true;
        kcColorCameraSettings probe = currentSettings_;
        probe.exposure(e);
        return probe;
    }

    // Step 4: measure the candidate with the images it has.
    const kc3PlanePelBuffer noImage;
    const kc3PlanePelBuffer& saturationReference = s.stepOneDone ? s.overexposedImage : noImage;
    const kc3PlanePelBuffer& repeatImage = s.stepThreeDone ? s.secondImage : image;
    const kc3PlanePelBuffer& hueReference = s.stepThreeDone ? image : noImage;
    const kcColorBalanceMeasurement m =
        measureColorImage(s.firstImage, repeatImage, saturationReference, hueReference, s.darkLevel);
    triedSettings_.push_back({currentSettings_, m});
    if (s.isFirstRound || isBetterMeasurement(s.bestMeasurement, m)) takeAsBestInGridPass(m);
    return advanceGridPass();
}

kcColorCameraSettings kcColorBalanceTool::advanceGridPass() {
    kcColorBalanceToolState& s = *state_;
    s.stepOneDone = false;
    s.stepTwoDone = false;
    s.stepThreeDone = false;
    ++s.candidateIndex;
    if (!assignNextSettings(true)) {
        currentSettings_ = bestSettings_;
        s.phase = kPhaseTableExhausted;
    }
    return currentSettings_;
}

void kcColorBalanceTool::takeAsBestInGridPass(const kcColorBalanceMeasurement& m) {
    kcColorBalanceToolState& s = *state_;
    s.bestMeasurement = m;
    if (s.bestGoodCount < m.goodCount) s.bestGoodCount = m.goodCount;
    s.improvedInRound = true;
    bestSettings_ = s.candidateIndex < s.candidates.size() ? s.candidates[s.candidateIndex] : currentSettings_;

    // A setting that keeps coming back as best ends the search.
    bool seen = false;
    for (std::size_t i = 0; i < s.bestHistory.size(); ++i) {
        if (s.bestHistory[i] == bestSettings_) {
            increment(s.bestHistoryHits[i]);
            if (s.bestHistoryHits[i] > kHitLimit) done_ = true;
            seen = true;
            break;
        }
    }
    if (!seen) {
        s.bestHistory.push_back(bestSettings_);
        s.bestHistoryHits.push_back(1);
    }
    s.isFirstRound = false;
}

kcColorCameraSettings kcColorBalanceTool::handToGreyStep() {
    kcColorBalanceToolState& s = *state_;
    greyMode_ = true;
    s.phase = kPhaseRestart;
    s.stepTwoDone = false;
    return currentSettings_;
}

kcColorCameraSettings kcColorBalanceTool::restart() {
    kcColorBalanceToolState& s = *state_;
    // A pass without improvement shrinks the grid (the first one after an
    // improving pass only arms the shrinking); an improving pass after a
    // failed one enlarges it once.
    if (!s.improvedInRound) {
        if (s.previousPassFailed)
            s.searchSpread = s.searchSpread * kSpreadHalving;
        else
            s.previousPassFailed = true;
        if (s.searchSpread < kMinimumSpread) done_ = true;
    } else if (s.previousPassFailed) {
        if (s.searchSpread < kSpreadDoublingLimit) s.searchSpread = s.searchSpread * kSpreadDoubling;
        s.previousPassFailed = false;
    }

    increment(s.gridCount);
    if (s.gridCount > kRestartLimit) done_ = true;

    if (!done_) {
        if (s.improvedInRound)
            initializeSettingsForColorImageUsingLastBestResult();
        else
            initializeSettingsForColorImage(false);
        // An empty grid (centre already expanded at this spread, or nothing
        // new around it) is retried at half the spread.
        while (s.candidates.empty() && s.searchSpread > kMinimumSpread) {
            s.searchSpread = s.searchSpread * kSpreadHalving;
            initializeSettingsForColorImage(false);
        }
        s.phase = kPhaseGridPass;
    }
    s.stepTwoDone = false;
    return currentSettings_;
}
