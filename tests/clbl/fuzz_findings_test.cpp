// tests/clbl/fuzz_findings_test.cpp
// Inputs the fuzz targets found trouble with, kept as regular tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "clbl/internal/snap_to_step.h"
#include "tests/support/search_runner.h"

namespace {
constexpr double kInfinity = std::numeric_limits<double>::infinity();
}  // namespace

// The setter accepts any exposure step from 0 up, infinity included; 0 x
// infinity once made the snapped exposure NaN, which the search then
// proposed to the camera and returned as its result.
TEST(FuzzFindings, AnInfiniteStepSnapsFiniteValuesToZeroAndNeverToNaN) {
    EXPECT_EQ(snapToStep(0.0, kInfinity), 0.0);
    EXPECT_EQ(snapToStep(0.02, kInfinity), 0.0);
    EXPECT_EQ(snapToStep(-3.0, kInfinity), 0.0);
    EXPECT_EQ(snapToStep(kInfinity, kInfinity), kInfinity);  // no multiple can be formed: unchanged
    EXPECT_EQ(snapToStep(0.3, 0.25), 0.25);                  // ordinary steps as before
    EXPECT_EQ(snapToStep(0.05, 0.0), 0.05);

    kcColorBalanceParams params;
    params.isBrightnessEnabled(false);
    params.minExposureStepSize(kInfinity);
    params.minContrastStepSize(0.0);
    params.exposureRange(kcRange(0.0, 0.0));
    const search_runner::SearchRun run =
        search_runner::runSimulatedSearch("chart", 64, 48, 3, params, kcColorCameraSettings(0.0, 0.0, 0.25), 10000);
    ASSERT_TRUE(run.done);
    for (const kcColorCameraSettings& s : run.proposals) ASSERT_FALSE(std::isnan(s.exposure()));
    EXPECT_EQ(run.result.exposure(), 0.0);
}
