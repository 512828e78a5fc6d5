// clbl/initial_sweep.cpp
// The first pass of the colour path over the coarse initial table: one
// image per candidate with exposure enabled (each candidate measured as the
// middle of three exposures), two with exposure disabled; then the grid
// passes, or the grey sweeps when nothing usable was found.
#include "clbl/internal/color_measurement.h"
#include "clbl/internal/search_constants.h"
#include "clbl/internal/search_state.h"
#include "clbl/tool.h"

void kcColorBalanceTool::acceptInInitialSweep(const kcColorBalanceMeasurement& m) {
    kcColorBalanceToolState& s = *state_;
    bool accept;
    if (s.isFirstRound) {
        s.isFirstRound = false;
        accept = true;
    } else if (static_cast<double>(m.goodCount) * kGoodCountMargin < static_cast<double>(s.bestGoodCount)) {
        accept = false;
    } else {
        accept = isBetterMeasurement(s.bestMeasurement, m);
    }
    if (!accept) return;
    s.improvedInRound = true;
    s.bestMeasurement = m;
    if (s.bestGoodCount < m.goodCount) s.bestGoodCount = m.goodCount;
    bestSettings_ = s.previousSettings;
    s.bestHistory.push_back(bestSettings_);
    s.bestHistoryHits.push_back(1);
}

kcColorCameraSettings kcColorBalanceTool::initialSweepWithoutExposure(const kc3PlanePelBuffer& image) {
    kcColorBalanceToolState& s = *state_;
    if (!s.stepTwoDone) {
        // First image of the candidate: keep it and take the same settings again.
        s.secondImage = image;
        s.previousSettings = currentSettings_;
        s.stepTwoDone = true;
        return currentSettings_;
    }
    const kc3PlanePelBuffer noImage;
    const kcColorBalanceMeasurement m = measureColorImage(s.secondImage, image, noImage, noImage, s.darkLevel);
    triedSettings_.push_back({s.previousSettings, m});
    acceptInInitialSweep(m);

    ++s.candidateIndex;
    const bool assigned = assignNextSettings(false);
    s.stepOneDone = false;
    s.stepTwoDone = false;
    if (!assigned) endInitialSweepWithoutExposure();
    return currentSettings_;
}

kcColorCameraSettings kcColorBalanceTool::initialSweepWithExposure(const kc3PlanePelBuffer& image) {
    kcColorBalanceToolState& s = *state_;
    bool skipSaturatedRun = false;
    if (!s.stepOneDone) {
        s.firstImage = image;
    } else if (!s.stepTwoDone) {
        s.secondImage = image;
        s.previousSettings = currentSettings_;
        s.stepTwoDone = true;
    } else {
        // Measure the middle of three exposures: the upper one gives the
        // saturation levels, the lower one the hue shift.
        const kcColorBalanceMeasurement m =
            measureColorImage(s.secondImage, s.secondImage, image, s.firstImage, s.darkLevel);
        triedSettings_.push_back({s.previousSettings, m});
        acceptInInitialSweep(m);
        s.firstImage = s.secondImage;
        s.secondImage = image;
        s.previousSettings = currentSettings_;
        // Once the unsaturated pels, with the margin applied twice, stay
        // below the best good count, longer exposures cannot help.
        if (static_cast<double>(s.bestGoodCount) >
            static_cast<double>(m.pelCount - m.brightCount) * kGoodCountMargin * kGoodCountMargin)
            skipSaturatedRun = true;
    }

    // Advance to the next candidate.
    const double contrast = currentSettings_.contrast();
    const double brightness = currentSettings_.brightness();
    ++s.candidateIndex;
    if (!assignNextSettings(false)) {
        endInitialSweepWithExposure();
        return currentSettings_;
    }
    if (skipSaturatedRun) {
        while (currentSettings_.contrast() == contrast && currentSettings_.brightness() == brightness) {
            ++s.candidateIndex;
            if (!assignNextSettings(false)) {
                endInitialSweepWithExposure();
                return currentSettings_;
            }
        }
    }
    if (currentSettings_.contrast() == contrast && currentSettings_.brightness() == brightness) {
        s.stepOneDone = true;  // same run: only the exposure differs
    } else {
        s.stepOneDone = false;
        s.stepTwoDone = false;
    }
    return currentSettings_;
}

void kcColorBalanceTool::endInitialSweepWithoutExposure() {
    kcColorBalanceToolState& s = *state_;
    s.stepThreeDone = false;
    if (s.improvedInRound)
        currentSettings_ = bestSettings_;
    else
        s.isFirstRound = true;  // the first measurement of the next pass becomes best
    initializeSettingsForColorImage(true);
    s.phase = kPhaseGridPass;
}

void kcColorBalanceTool::endInitialSweepWithExposure() {
    kcColorBalanceToolState& s = *state_;
    s.stepOneDone = false;
    s.stepTwoDone = false;
    s.stepThreeDone = false;
    if (s.improvedInRound) {
        currentSettings_ = bestSettings_;
        initializeSettingsForColorImage(true);
        s.phase = kPhaseGridPass;
        return;
    }
    // Nothing usable: bring the camera into range with the grey sweeps,
    // starting from the starting values of the search.
    currentSettings_ = s.initialSettings;
    greyMode_ = true;
    s.isFirstRound = true;
    s.candidates.clear();
    const kcRange range = params_.exposureRange();
    if (params_.isExposureEnabled() && range.start() < range.end()) {
        s.phase = kPhaseGreyExposureSweep;
    } else {
        if (params_.isContrastEnabled()) currentSettings_.contrast(0.0);
        s.phase = kPhaseGreyContrastSweep;
    }
}
