// tests/clbl/candidate_tables_test.cpp
// The candidate tables of the search and the snapping of settings to steps.
#include "clbl/internal/candidate_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "clbl/internal/snap_to_step.h"
#include "tests/support/search_runner.h"

using Table = std::vector<kcColorCameraSettings>;

TEST(InitialTable, DegenerateRangesAndADisabledExposureGiveOneRung) {
    const kcColorCameraSettings start(0.04, 0.6, 0.7);
    kcColorBalanceParams noExposure;
    noExposure.isExposureEnabled(false);
    const Table t36 = initialCandidateSettings(noExposure, start);
    ASSERT_EQ(t36.size(), 36u);
    for (const auto& s : t36) EXPECT_EQ(s.exposure(), 0.04);

    for (const kcRange& r : {kcRange(0.2, 0.1), kcRange(0.2, 0.2), kcRange(-0.01, 0.3)}) {
        kcColorBalanceParams p;
        p.exposureRange(r);
        const Table t = initialCandidateSettings(p, start);
        ASSERT_EQ(t.size(), 36u);
        EXPECT_EQ(t[0].exposure(), r.start());
    }
    // An unbounded range still ends: the doubling reaches infinity.
    kcColorBalanceParams open;
    open.exposureRange(kcRange(1e-6, INFINITY));
    EXPECT_GT(initialCandidateSettings(open, start).size(), 36u * 1000);
}

TEST(CandidateGrid, BuildsTheNeighbourhoodAndRefusesTheSameCentreAtTheSameSpread) {
    const kcColorBalanceParams p;
    const kcColorCameraSettings centre(0.01, 0.5, 0.5);
    const Table t = candidateGridAround(p, centre, 25.0, {}, true);
    ASSERT_EQ(t.size(), 26u);
    EXPECT_EQ(Table(t.begin(), t.begin() + 4),
              (Table{{0.0025, 0.0, 0.0}, {0.0025, 0.0, 0.5}, {0.0025, 0.0, 1.0}, {0.0025, 0.5, 0.0}}));
    for (const auto& s : t) EXPECT_FALSE(s == centre);
    EXPECT_DOUBLE_EQ(t.back().exposure(), 0.0175);

    EXPECT_TRUE(candidateGridAround(p, centre, 25.0, {}, false).empty());
    EXPECT_EQ(candidateGridAround(p, centre, 12.5, {}, false).size(), 26u);  // another spread

    const Table next = candidateGridAround(p, kcColorCameraSettings(0.0175, 0.5, 0.5), 25.0, t, false);
    ASSERT_EQ(next.size(), 18u);
    for (const auto& s : next) EXPECT_NE(s.exposure(), 0.0175);
    EXPECT_DOUBLE_EQ(next.front().exposure(), 0.004375);
    EXPECT_DOUBLE_EQ(next.back().exposure(), 0.030625);

    // Refused only when every component is within 1e-15: a NaN component
    // never is, so such a centre is expanded again.
    const kcColorCameraSettings notANumber(0.01, NAN, 0.5);
    EXPECT_FALSE(candidateGridAround(p, notANumber, 25.0, {}, false).empty());
    EXPECT_FALSE(candidateGridAround(p, notANumber, 25.0, {}, false).empty());

    // A disabled exposure is neither clamped to the range nor snapped.
    kcColorBalanceParams noExposure;
    noExposure.isExposureEnabled(false);
    noExposure.minExposureStepSize(0.1);
    const Table wide = candidateGridAround(noExposure, kcColorCameraSettings(0.3, 0.5, 0.5), 25.0, {}, true);
    ASSERT_EQ(wide.size(), 26u);
    EXPECT_DOUBLE_EQ(wide.back().exposure(), 0.525);
}

// The setter accepts any exposure step from 0 up, infinity included; 0 x
// infinity once made the snapped exposure NaN, which the search then
// proposed to the camera and returned as its result.
TEST(SnapToStep, AnInfiniteStepSnapsFiniteValuesToZeroAndNeverToNaN) {
    for (double value : {0.0, 0.02, -3.0}) EXPECT_EQ(snapToStep(value, INFINITY), 0.0) << value;
    EXPECT_EQ(snapToStep(INFINITY, INFINITY), INFINITY);  // no multiple can be formed: unchanged
    EXPECT_EQ(snapToStep(0.3, 0.25), 0.25);               // ordinary steps as before
    EXPECT_EQ(snapToStep(0.05, 0.0), 0.05);

    kcColorBalanceParams params;
    params.isBrightnessEnabled(false);
    params.minExposureStepSize(INFINITY);
    params.minContrastStepSize(0.0);
    params.exposureRange(kcRange(0.0, 0.0));
    const auto run = search_runner::runSimulatedSearch("chart", 64, 48, 3, params, {0.0, 0.0, 0.25}, 10000);
    ASSERT_TRUE(run.done);
    for (const kcColorCameraSettings& s : run.proposals) ASSERT_FALSE(std::isnan(s.exposure()));
    EXPECT_EQ(run.result.exposure(), 0.0);
}
