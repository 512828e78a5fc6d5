// clbl/internal/candidate_tables.cpp
#include "clbl/internal/candidate_tables.h"

#include <cmath>

#include "clbl/internal/search_constants.h"
#include "clbl/internal/snap_to_step.h"
#include "toolkit/foundation/rounding.h"

namespace {
// Initial table.
constexpr double kExposureGrowth = 2.0;       // each exposure rung doubles the previous unsnapped one
constexpr double kZeroStartFraction = 0.001;  // a range starting at 0 starts its ladder at this part of its length
constexpr double kLinearIncrement = 0.2;      // contrast and brightness rung distance
constexpr double kLinearCeiling = 1.0;        // contrast and brightness never exceed this
// Grids.
constexpr double kExposureSpreadFactor = 0.2;  // relative exposure offset: (spread x 0.2) x 0.15
constexpr double kExposureSpreadScale = 0.15;
constexpr double kLinearSpreadFactor = 0.02;  // contrast and brightness offset: spread x 0.02
constexpr double kLinearFloor = 0.0;
// A rung is kept when it differs from the one before by more than the
// tolerance (a NaN rung never does).
bool differs(double a, double b) { return std::fabs(a - b) > kSettingsTolerance; }

// Appends v unless it repeats the last rung.
void appendRung(std::vector<double>& ladder, double v) {
    if (ladder.empty() || differs(v, ladder.back())) ladder.push_back(v);
}

std::vector<double> initialExposureLadder(const kcColorBalanceParams& params, double startExposure) {
    if (!params.isExposureEnabled()) return {startExposure};
    const kcRange range = params.exposureRange();
    const double step = params.minExposureStepSize();
    double x = range.start();
    if (x == 0.0) x = (range.end() - range.start()) * kZeroStartFraction;
    std::vector<double> ladder{snapToStep(x, step)};
    if (!(x < range.end())) return ladder;
    // The doubling continues from the unsnapped value, so the last unsnapped
    // rung is exactly the range's end. It ends: x grows geometrically until
    // it reaches the end (or infinity, which is not below any end).
    for (;;) {
        if (!(x > 0.0)) break;
        x = x * kExposureGrowth;
        if (x > range.end()) x = range.end();
        const double v = snapToStep(x, step);
        if (differs(v, ladder.back())) ladder.push_back(v);
        if (!(x < range.end())) break;
    }
    return ladder;
}

std::vector<double> initialLinearLadder(bool enabled, double startValue, double step) {
    if (!enabled) return {startValue};
    const long rungs = iRound(kLinearCeiling / kLinearIncrement);
    std::vector<double> ladder{0.0};
    double r = 0.0;
    for (long i = 0; i < rungs; ++i) {
        r = r + kLinearIncrement;
        if (r > kLinearCeiling) r = kLinearCeiling;
        const double v = snapToStep(r, step);
        if (differs(v, ladder.back())) ladder.push_back(v);
    }
    return ladder;
}

std::vector<double> ladderOfThree(double low, double mid, double high) {
    std::vector<double> ladder{low};
    appendRung(ladder, mid);
    appendRung(ladder, high);
    return ladder;
}

std::vector<double> gridExposureLadder(const kcColorBalanceParams& params, double e, double spread) {
    const double f = (spread * kExposureSpreadFactor) * kExposureSpreadScale;
    double rungs[3] = {(1.0 - f) * e, e, (f + 1.0) * e};
    if (params.isExposureEnabled()) {
        const kcRange range = params.exposureRange();
        for (double& v : rungs) {
            if (!(v >= range.start())) v = range.start();
            if (v > range.end()) v = range.end();
        }
        const double step = params.minExposureStepSize();
        if (step != 0.0)
            for (double& v : rungs) v = snapToStep(v, step);
    }
    return ladderOfThree(rungs[0], rungs[1], rungs[2]);
}

std::vector<double> gridLinearLadder(bool enabled, double step, double x, double spread) {
    const double g = spread * kLinearSpreadFactor;
    double low = x - g;
    if (!(low > kLinearFloor)) low = kLinearFloor;
    double high = x + g;
    if (high >= kLinearCeiling) high = kLinearCeiling;
    double rungs[3] = {low, x, high};
    if (enabled && step != 0.0)
        for (double& v : rungs) v = snapToStep(v, step);
    return ladderOfThree(rungs[0], rungs[1], rungs[2]);
}

// A table entry: default-constructed, then exposure, contrast and
// brightness set in that order.
kcColorCameraSettings settingsOf(double exposure, double contrast, double brightness) {
    kcColorCameraSettings s;
    s.exposure(exposure);
    s.contrast(contrast);
    s.brightness(brightness);
    return s;
}

bool isExpanded(const kcColorCameraSettings& centre, double spread) {
    for (const kcExpandedCentre& r : expandedCentres()) {
        // Refused only when every component is the same value: a NaN
        // component is never the same.
        if (isSameSettings(centre, kcColorCameraSettings(r.exposure, r.contrast, r.brightness)) &&
            isSameValue(r.spread, spread))
            return true;
    }
    return false;
}

bool isInTable(const std::vector<kcColorCameraSettings>& table, double e, double c, double b) {
    for (const kcColorCameraSettings& s : table) {
        if (isSameSettings(s, kcColorCameraSettings(e, c, b))) return true;
    }
    return false;
}
}  // namespace

std::vector<kcExpandedCentre>& expandedCentres() {
    static std::vector<kcExpandedCentre> centres;
    return centres;
}

std::vector<kcColorCameraSettings>& previousCandidates() {
    static std::vector<kcColorCameraSettings> table;
    return table;
}

std::vector<kcColorCameraSettings> initialCandidateSettings(const kcColorBalanceParams& params,
                                                            const kcColorCameraSettings& start) {
    const std::vector<double> exposures = initialExposureLadder(params, start.exposure());
    const std::vector<double> contrasts =
        initialLinearLadder(params.isContrastEnabled(), start.contrast(), params.minContrastStepSize());
    const std::vector<double> brightnesses =
        initialLinearLadder(params.isBrightnessEnabled(), start.brightness(), params.minBrightnessStepSize());

    std::vector<kcColorCameraSettings> table;
    table.reserve(exposures.size() * contrasts.size() * brightnesses.size());
    for (double c : contrasts)
        for (double b : brightnesses)
            for (double e : exposures) {
                table.push_back(settingsOf(e, c, b));
            }
    return table;
}

std::vector<kcColorCameraSettings> candidateGridAround(const kcColorBalanceParams& params,
                                                       const kcColorCameraSettings& centre, double spread,
                                                       const std::vector<kcColorCameraSettings>& previousTable,
                                                       bool restart) {
    if (restart) expandedCentres().clear();
    // A centre is expanded once per spread; the empty table tells the caller
    // to change the spread.
    if (isExpanded(centre, spread)) return {};
    expandedCentres().push_back({centre.exposure(), centre.contrast(), centre.brightness(), spread});

    const std::vector<double> exposures = gridExposureLadder(params, centre.exposure(), spread);
    const std::vector<double> contrasts =
        gridLinearLadder(params.isContrastEnabled(), params.minContrastStepSize(), centre.contrast(), spread);
    const std::vector<double> brightnesses =
        gridLinearLadder(params.isBrightnessEnabled(), params.minBrightnessStepSize(), centre.brightness(), spread);

    std::vector<kcColorCameraSettings> table;
    for (double e : exposures)
        for (double c : contrasts)
            for (double b : brightnesses) {
                if (e == centre.exposure() && c == centre.contrast() && b == centre.brightness()) continue;
                if (isInTable(previousTable, e, c, b)) continue;
                table.push_back(settingsOf(e, c, b));
            }
    return table;
}
