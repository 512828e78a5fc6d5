// tests/clbl/fuzz_findings_test.cpp
// Inputs the fuzz targets found trouble with, kept as regular tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "clbl/params.h"
#include "clbl/snap_to_step.h"
#include "clbl/tool.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/sim/sim_camera.h"

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
    kcSimCamera camera(kcSimScene::builtIn("chart", 64, 48), 3);
    kcColorBalanceTool tool;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings(0.0, 0.0, 0.25));
    int images = 0;
    while (!tool.done() && images < 10000) {
        ASSERT_FALSE(std::isnan(settings.exposure())) << "after " << images << " images";
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(settings)));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        ++images;
    }
    ASSERT_TRUE(tool.done());
    EXPECT_EQ(tool.result().exposure(), 0.0);
}
