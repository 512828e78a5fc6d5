// tests/clbl/search_phases_test.cpp
// The phases of the search, each reached by a short scripted sequence of
// flat images (a flat image stays flat through the smoothing, so its pels
// are all good (mid grey), all dark (0) or all saturated (255)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "clbl/internal/candidate_tables.h"
#include "clbl/tool.h"
#include "tests/support/tool_inspector.h"

namespace {
constexpr unsigned char kGood = 128;

kc3PlanePelBuffer flat(unsigned char value, long width = 40, long height = 30) {
    kc3PlanePelBuffer image(width, height);
    for (kcPelBuffer<unsigned char> plane : {image.plane0(), image.plane1(), image.plane2()})
        for (long y = 0; y < height; ++y) std::memset(plane.pointToRow(y), value, static_cast<std::size_t>(width));
    return image;
}

kcColorBalanceParams params(bool exposure, bool contrast, bool brightness, double start = 0.001, double end = 0.3) {
    kcColorBalanceParams p;
    p.exposureRange(kcRange(start, end));
    p.isExposureEnabled(exposure);
    p.isContrastEnabled(contrast);
    p.isBrightnessEnabled(brightness);
    return p;
}

class SearchPhase : public testing::Test {
protected:
    kcColorCameraSettings color(unsigned char value) { return in.colorStep(flat(value)); }
    kcColorCameraSettings grey(unsigned char value) { return in.greyStep(flat(value).plane0()); }
    void greySweepFrom(const kcColorCameraSettings& settings) {
        in.greyMode() = true;
        in.state().phase = kPhaseGreyExposureSweep;
        in.current() = settings;
    }

    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in{tool};
};
}  // namespace

TEST_F(SearchPhase, GreySweepEndsAtOnceForAnExposureThatCannotGrowAndPhase5PassesOneImage) {
    for (double exposure : {0.0, -0.01, double(NAN), double(INFINITY)}) {
        tool.init(params(true, false, false, 0.0, 0.3), kcColorCameraSettings());
        greySweepFrom(kcColorCameraSettings(exposure, 0.5, 0.5));
        grey(kGood);
        EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep) << exposure;
    }
    // Phase 5 passes one image through and leaves grey mode.
    in.state().phase = kPhaseRestart;
    in.greyMode() = true;
    const kcColorCameraSettings before = in.current();
    EXPECT_EQ(grey(kGood), before);
    EXPECT_FALSE(in.greyMode());
}

TEST_F(SearchPhase, RestartHalvesDoublesAndEndsTheSearchByTheGridSizeRule) {
    // clang-format off
    struct Case { double spread; bool improved, previousFailed; std::int32_t gridCount;  // before
                   double spreadAfter; bool previousFailedAfter, done; std::uint32_t phaseAfter; };
    // clang-format on
    const Case cases[] = {
        {1.5, false, true, 0, 0.75, true, true, kPhaseRestart},     // halved below 1: done, no new table
        {2.0, false, true, 0, 1.0, true, false, kPhaseGridPass},    // halved to 1: not yet
        {3.0, true, true, 0, 6.0, false, false, kPhaseGridPass},    // doubled after an improvement
        {6.0, true, true, 0, 6.0, false, false, kPhaseGridPass},    // and no further
        {6.0, false, false, 0, 6.0, true, false, kPhaseGridPass},   // a first failure only arms the shrinking
        {6.0, true, false, 1000, 6.0, false, true, kPhaseRestart},  // grid 1001: done
    };
    for (const Case& c : cases) {
        tool.init(kcColorBalanceParams(), kcColorCameraSettings());
        in.state().candidates = {{0.1, 0.1, 0.1}};
        in.state().phase = kPhaseRestart;
        in.state().searchSpread = c.spread;
        in.state().improvedInRound = c.improved;
        in.state().previousPassFailed = c.previousFailed;
        in.state().gridCount = c.gridCount;
        in.state().isFirstRound = false;
        in.current() = kcColorCameraSettings(0.05, 0.5, 0.5);
        in.state().previousSettings = kcColorCameraSettings(0.04, 0.5, 0.5);
        color(kGood);
        SCOPED_TRACE(testing::Message() << "spread " << c.spread << ", grid " << c.gridCount);
        EXPECT_EQ(in.state().searchSpread, c.spreadAfter);
        EXPECT_EQ(in.state().previousPassFailed, c.previousFailedAfter);
        EXPECT_EQ(tool.done(), c.done);
        EXPECT_EQ(in.state().gridCount, c.gridCount + 1);
        EXPECT_EQ(in.state().phase, c.phaseAfter);
        EXPECT_EQ(in.state().candidates.size() == 1, c.done);
    }
}

TEST_F(SearchPhase, ColorStepUnknownPhasesOnlySmoothAndSizeChangesAreRefused) {
    tool.init(kcColorBalanceParams(), kcColorCameraSettings());
    for (std::uint32_t phase : {0u, 1u, 2u, 99u}) {
        in.state().phase = phase;
        const kcColorCameraSettings before = in.current();
        EXPECT_EQ(color(kGood), before);
        EXPECT_EQ(in.state().phase, phase);
    }
    // The initial sweep keeps images between calls. A new size is fine for
    // the image that only gives saturation levels; once an image of the old
    // size is to be walked alongside a new one, the measurement refuses it
    // with a clear error instead of reading out of bounds.
    tool.init(params(true, false, false, 0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    color(kGood);
    color(kGood);
    EXPECT_NO_THROW(in.colorStep(flat(kGood, 80, 60)));
    EXPECT_THROW(in.colorStep(flat(kGood, 80, 60)), kcBadArgument);
}
