// tests/clbl/search_phases_test.cpp
// The phases of the search, each reached by a short scripted sequence of
// flat images (a flat image stays flat through the smoothing, so its pels
// are all good (mid grey), all dark (0) or all saturated (255)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>
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

// Exposure alone, over [start, end].
kcColorBalanceParams exposureOnly(double start, double end) {
    kcColorBalanceParams p;
    p.exposureRange(kcRange(start, end));
    p.isContrastEnabled(false);
    p.isBrightnessEnabled(false);
    return p;
}

class SearchPhase : public testing::Test {
protected:
    kcColorCameraSettings color(unsigned char value) { return in.colorStep(flat(value)); }
    kcColorCameraSettings grey(unsigned char value) { return in.greyStep(flat(value).plane0()); }

    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in{tool};
};
}  // namespace

TEST_F(SearchPhase, GreySweepEndsAtOnceForAnExposureThatCannotGrowAndPhase5PassesOneImage) {
    for (double exposure : {0.0, -0.01, double(NAN), double(INFINITY)}) {
        tool.init(exposureOnly(0.0, 0.3), kcColorCameraSettings());
        in.greyMode() = true;
        in.state().phase = kPhaseGreyExposureSweep;
        in.current() = kcColorCameraSettings(exposure, 0.5, 0.5);
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
        kcColorBalanceToolState& s = in.state();
        s.candidates = {{0.1, 0.1, 0.1}};
        s.phase = kPhaseRestart;
        s.searchSpread = c.spread;
        s.improvedInRound = c.improved;
        s.previousPassFailed = c.previousFailed;
        s.gridCount = c.gridCount;
        s.isFirstRound = false;
        in.current() = kcColorCameraSettings(0.05, 0.5, 0.5);
        s.previousSettings = kcColorCameraSettings(0.04, 0.5, 0.5);
        color(kGood);
        // After: spread, failure flag, done, grid count, phase, and a new table unless done.
        EXPECT_EQ(std::tuple(s.searchSpread, s.previousPassFailed, tool.done(), s.gridCount, s.phase,
                             s.candidates.size() == 1),
                  std::tuple(c.spreadAfter, c.previousFailedAfter, c.done, c.gridCount + 1, c.phaseAfter, c.done))
            << "spread " << c.spread << ", grid " << c.gridCount;
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
    tool.init(exposureOnly(0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    color(kGood);
    color(kGood);
    EXPECT_NO_THROW(in.colorStep(flat(kGood, 80, 60)));
    EXPECT_THROW(in.colorStep(flat(kGood, 80, 60)), kcBadArgument);
}
