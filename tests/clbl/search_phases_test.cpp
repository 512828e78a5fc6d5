// tests/clbl/search_phases_test.cpp
// The phases of the search, each reached by a short scripted sequence of
// flat images (a flat image stays flat through the smoothing, so its pels
// are all good (mid grey), all dark (0) or all saturated (255)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "clbl/candidate_tables.h"
#include "clbl/tool.h"
#include "tool_inspector.h"

namespace {
constexpr unsigned char kGood = 128;
constexpr unsigned char kDark = 0;
constexpr unsigned char kBright = 255;

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
    // A grid pass over `candidates`, at the first of them.
    void gridPass(std::vector<kcColorCameraSettings> candidates) {
        in.state().phase = kPhaseGridPass;
        in.state().candidates = std::move(candidates);
        in.state().candidateIndex = 0;
        in.current() = in.state().candidates[0];
    }
    void greySweepFrom(const kcColorCameraSettings& settings) {
        in.greyMode() = true;
        in.state().phase = kPhaseGreyExposureSweep;
        in.current() = settings;
    }

    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in{tool};
};
}  // namespace

TEST_F(SearchPhase, InitialSweepFixedExposureTakesTwoImagesPerCandidateThenStartsTheGrid) {
    kcColorCameraSettings s = tool.init(params(false, true, false), kcColorCameraSettings(0.01, 0.0, 0.3));
    ASSERT_EQ(in.state().phase, kPhaseInitialSweepFixedExposure);
    ASSERT_EQ(in.state().candidates.size(), 6u);
    for (std::size_t candidate = 1; candidate <= 6; ++candidate) {
        EXPECT_EQ(color(kGood), s) << "the first image of a candidate asks for the same settings";
        s = color(kGood);
        EXPECT_EQ(in.tried().size(), candidate);
    }
    // The first measurement became best: the grid starts around it, narrow.
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_EQ(in.state().searchSpread, 5.0);
    EXPECT_EQ(tool.result(), kcColorCameraSettings(0.01, 0.0, 0.3));
}

TEST_F(SearchPhase, InitialSweepWithExposureMeasuresTheMiddleOfThreeAndSkipsASaturatedRun) {
    // Five exposure rungs 0.001 .. 0.016 with contrast and brightness fixed.
    tool.init(params(true, false, false, 0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    for (int i = 0; i < 5; ++i) color(kGood);
    ASSERT_EQ(in.tried().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(in.tried()[i].settings.exposure(), 0.002 * double(1 << i));
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_EQ(tool.result().exposure(), 0.002);

    // With contrast enabled: six runs of five. A saturated upper image makes
    // the measured one useless once a best exists; the rest of the run is skipped.
    tool.init(params(true, true, false, 0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    color(kGood);
    color(kGood);
    color(kBright);  // measures 0.002 (good): best with all 48 pels
    EXPECT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.state().candidateIndex, 3u);
    color(kGood);  // measures 0.004, all saturated: skip the rest of the run
    EXPECT_EQ(in.tried().size(), 2u);
    EXPECT_EQ(in.state().candidateIndex, 5u);  // first candidate of the next run
    EXPECT_EQ(in.current().contrast(), 0.2001953125);
}

TEST_F(SearchPhase, InitialSweepFallsBackToTheGreySweepsWhenNothingWasMeasured) {
    // Two exposure rungs: a run of two is never measured.
    kcColorBalanceParams p = params(true, true, false, 0.001, 0.002);
    p.minContrastStepSize(0.5);
    tool.init(p, kcColorCameraSettings(0.0, 0.5, 0.5));
    ASSERT_EQ(in.state().candidates.size(), 6u);
    kcColorCameraSettings s;
    for (int i = 0; i < 6; ++i) s = color(kGood);
    EXPECT_TRUE(in.tried().empty());
    EXPECT_TRUE(in.greyMode());
    EXPECT_EQ(in.state().phase, kPhaseGreyExposureSweep);
    EXPECT_EQ(s, kcColorCameraSettings(0.001, 1.0, 0.5));  // the starting values

    // An empty exposure range starts with the contrast sweep at contrast 0.
    p.exposureRange(kcRange(0.002, 0.002));
    tool.init(p, kcColorCameraSettings(0.0, 0.5, 0.5));
    for (int i = 0; i < 3; ++i) s = color(kGood);
    EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep);
    EXPECT_EQ(s, kcColorCameraSettings(0.002, 0.0, 0.5));
}

TEST_F(SearchPhase, GreySweepMultipliesTheExposureBy1Point5AndKeepsTheFirstValueAtTheFinalLevel) {
    tool.init(params(true, true, false, 0.001, 0.01), kcColorCameraSettings(0.0, 0.5, 0.5));
    greySweepFrom(kcColorCameraSettings(0.001, 1.0, 0.5));
    // Grey maxima rise and then stay at 200 from the third image on.
    const double expected[] = {0.0015, 0.00225, 0.003375, 0.0050625, 0.00759375};
    const unsigned char levels[] = {50, 120, 200, 200, 200};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(grey(levels[i]).exposure(), expected[i], 1e-17) << i;
        EXPECT_EQ(in.state().phase, kPhaseGreyExposureSweep);
    }
    const kcColorCameraSettings s = grey(200);  // 0.011390625 > 0.01: finished
    EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep);
    EXPECT_DOUBLE_EQ(s.exposure(), 0.00225);
    EXPECT_EQ(s.contrast(), 0.0);

    // Contrast sweep: +0.05 per image (snapped), then the hand-over to a grid pass.
    for (int i = 0; i < 40 && in.state().phase == kPhaseGreyContrastSweep; ++i) grey(100);
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_FALSE(in.greyMode());
    EXPECT_EQ(in.state().searchSpread, 25.0);
    EXPECT_EQ(in.state().previousSettings.contrast(), 0.0);  // first contrast at the final level
}

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

TEST_F(SearchPhase, GridPassTakesFourImagesPerCandidateAndHandsOverWhenTheTableIsExhausted) {
    tool.init(params(true, false, false), kcColorCameraSettings(0.0, 0.5, 0.5));
    gridPass({{0.01, 0.5, 0.5}, {0.02, 0.5, 0.5}});
    EXPECT_EQ(color(kGood).exposure(), 0.02);    // over-exposed probe
    EXPECT_EQ(color(kBright).exposure(), 0.01);  // the candidate again
    EXPECT_EQ(color(kGood).exposure(), 0.005);   // under-exposed probe
    EXPECT_EQ(color(kGood), kcColorCameraSettings(0.02, 0.5, 0.5));  // next candidate
    ASSERT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(tool.result(), kcColorCameraSettings(0.01, 0.5, 0.5));
    // Saturation levels from the over-exposed image: 255 x 0.98 = 249.
    EXPECT_EQ(in.tried()[0].measurement.saturationLevels[0], 249);
    EXPECT_EQ(in.state().bestGoodCount, 48);

    // The second candidate's pre-check fails (its over-exposed image is
    // dark, so no pel of its first image counts): dropped after two images.
    color(kGood);
    color(kDark);
    EXPECT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.state().phase, kPhaseTableExhausted);
    EXPECT_EQ(in.current(), tool.result());

    // Phase 4 lends one image to the grey path, phase 5 restarts.
    color(kGood);
    EXPECT_TRUE(in.greyMode());
    EXPECT_EQ(in.state().phase, kPhaseRestart);
    grey(kGood);
    EXPECT_FALSE(in.greyMode());
    color(kGood);
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
}

TEST_F(SearchPhase, GridPassPreCheckDropsACandidateBelowTheBestCountWithMargin) {
    tool.init(params(false, true, false), kcColorCameraSettings(0.01, 0.5, 0.5));
    gridPass({{0.01, 0.5, 0.5}, {0.01, 0.6, 0.5}});
    in.state().isFirstRound = false;
    // 40 x 30 subsampled by 5 is 8 x 6 = 48 pels; 48 x 1.025 = 49.2 < 50.
    in.state().bestGoodCount = 50;
    color(kGood);
    EXPECT_EQ(in.state().candidateIndex, 1u);
    EXPECT_TRUE(in.tried().empty());
    in.state().bestGoodCount = 49;  // 49.2 passes
    color(kGood);
    color(kGood);  // exposure disabled: two images per candidate
    ASSERT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.tried()[0].measurement.saturationLevels[2], 239);
}

TEST_F(SearchPhase, RestartHalvesDoublesAndEndsTheSearchByTheGridSizeRule) {
    struct Case { double spread; bool improved, previousFailed; std::int32_t gridCount;  // before
                   double spreadAfter; bool previousFailedAfter, done; std::uint32_t phaseAfter; };
    const Case cases[] = {
        {1.5, false, true, 0, 0.75, true, true, kPhaseRestart},    // halved below 1: done, no new table
        {3.0, true, true, 0, 6.0, false, false, kPhaseGridPass},   // doubled after an improvement
        {6.0, true, true, 0, 6.0, false, false, kPhaseGridPass},   // and no further
        {6.0, false, false, 0, 6.0, true, false, kPhaseGridPass},  // a first failure only arms the shrinking
        {6.0, true, false, 1000, 6.0, false, true, kPhaseRestart}, // grid 1001: done
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

TEST_F(SearchPhase, GridPassTheFourthTimeTheSameSettingsBecomeBestEndsTheSearch) {
    const kcColorCameraSettings same(0.01, 0.5, 0.5);
    tool.init(params(false, false, true), same);
    gridPass({same, {0.01, 0.5, 0.6}});
    in.state().bestHistory = {same};
    in.state().bestHistoryHits = {3};
    in.state().isFirstRound = true;
    color(kGood);
    color(kGood);
    EXPECT_EQ(in.state().bestHistoryHits[0], 4);
    EXPECT_TRUE(tool.done());
    EXPECT_EQ(in.state().candidateIndex, 1u);  // still advanced in that call
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.5, 0.6));
}

TEST_F(SearchPhase, ColorStepUnknownPhasesOnlySmoothAndSizeChangesAreRefused) {
    tool.init(kcColorBalanceParams(), kcColorCameraSettings());
    for (std::uint32_t phase : {0u, 1u, 2u, 99u}) {
        in.state().phase = phase;
        const kcColorCameraSettings before = in.current();
        EXPECT_EQ(color(kGood), before);
        EXPECT_EQ(in.state().phase, phase);
    }
    // The initial sweep keeps images between calls: a new size is refused
    // by the measurement with a clear error instead of reading out of bounds.
    tool.init(params(true, false, false, 0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    color(kGood);
    color(kGood);
    EXPECT_THROW(in.colorStep(flat(kGood, 80, 60)), kcBadArgument);
}
