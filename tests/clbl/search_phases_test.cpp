// tests/clbl/search_phases_test.cpp
// The phases of the search, each reached by a short scripted sequence of
// flat images (a flat image stays flat through the smoothing, so its pels
// are all good (mid grey), all dark (0) or all saturated (255)).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

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

kcColorBalanceParams exposureOnly(double start, double end) {
    kcColorBalanceParams p;
    p.exposureRange(kcRange(start, end));
    p.isContrastEnabled(false);
    p.isBrightnessEnabled(false);
    return p;
}
}  // namespace

TEST(InitialSweep, FixedExposureTakesTwoImagesPerCandidateThenStartsTheGrid) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    kcColorBalanceParams p;
    p.isExposureEnabled(false);
    p.isBrightnessEnabled(false);
    const kcColorCameraSettings start(0.01, 0.0, 0.3);
    kcColorCameraSettings s = tool.init(p, start);
    ASSERT_EQ(in.state().phase, kPhaseInitialSweepFixedExposure);
    ASSERT_EQ(in.state().candidates.size(), 6u);
    for (int candidate = 0; candidate < 6; ++candidate) {
        const kcColorCameraSettings first = in.colorStep(flat(kGood));
        EXPECT_EQ(first, s) << "the first image of a candidate asks for the same settings";
        s = in.colorStep(flat(kGood));
        EXPECT_EQ(in.tried().size(), static_cast<std::size_t>(candidate + 1));
    }
    // The first measurement became best: the grid starts around it, narrow.
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_EQ(in.state().searchSpread, 5.0);
    EXPECT_EQ(tool.result(), kcColorCameraSettings(0.01, 0.0, 0.3));
    EXPECT_EQ(in.state().bestHistory.size(), 1u);
}

TEST(InitialSweep, WithExposureMeasuresTheMiddleOfThreeAndSkipsASaturatedRun) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    // Five exposure rungs 0.001 .. 0.016 with contrast and brightness fixed.
    tool.init(exposureOnly(0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    ASSERT_EQ(in.state().candidates.size(), 5u);
    for (int i = 0; i < 5; ++i) in.colorStep(flat(kGood));
    ASSERT_EQ(in.tried().size(), 3u);
    EXPECT_EQ(in.tried()[0].settings.exposure(), 0.002);
    EXPECT_EQ(in.tried()[1].settings.exposure(), 0.004);
    EXPECT_EQ(in.tried()[2].settings.exposure(), 0.008);
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_EQ(tool.result().exposure(), 0.002);

    // With contrast enabled: six runs of five. A saturated upper image makes
    // the measured one useless once a best exists, and the rest of the run
    // is skipped.
    kcColorBalanceParams p = exposureOnly(0.001, 0.016);
    p.isContrastEnabled(true);
    tool.init(p, kcColorCameraSettings(0.0, 0.5, 0.5));
    in.colorStep(flat(kGood));
    in.colorStep(flat(kGood));
    in.colorStep(flat(kBright));  // measures 0.002 (good): best with all 48 pels
    EXPECT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.state().candidateIndex, 3u);
    in.colorStep(flat(kGood));  // measures 0.004, all saturated: skip the rest of the run
    EXPECT_EQ(in.tried().size(), 2u);
    EXPECT_EQ(in.state().candidateIndex, 5u);  // first candidate of the next run
    EXPECT_EQ(in.current().contrast(), 0.2001953125);
    EXPECT_FALSE(in.state().stepOneDone);
    EXPECT_FALSE(in.state().stepTwoDone);
}

TEST(InitialSweep, FallsBackToTheGreySweepsWhenNothingWasMeasured) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    // Two exposure rungs: a run of two is never measured.
    kcColorBalanceParams p = exposureOnly(0.001, 0.002);
    p.isContrastEnabled(true);
    p.minContrastStepSize(0.5);
    tool.init(p, kcColorCameraSettings(0.0, 0.5, 0.5));
    ASSERT_EQ(in.state().candidates.size(), 6u);
    kcColorCameraSettings s;
    for (int i = 0; i < 6; ++i) s = in.colorStep(flat(kGood));
    EXPECT_TRUE(in.tried().empty());
    EXPECT_TRUE(in.greyMode());
    EXPECT_EQ(in.state().phase, kPhaseGreyExposureSweep);
    EXPECT_TRUE(in.state().candidates.empty());
    EXPECT_EQ(s, kcColorCameraSettings(0.001, 1.0, 0.5));  // the starting values

    // An empty exposure range starts with the contrast sweep at contrast 0.
    kcColorBalanceParams q = p;
    q.exposureRange(kcRange(0.002, 0.002));
    tool.init(q, kcColorCameraSettings(0.0, 0.5, 0.5));
    for (int i = 0; i < 3; ++i) s = in.colorStep(flat(kGood));
    EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep);
    EXPECT_EQ(s, kcColorCameraSettings(0.002, 0.0, 0.5));
}

TEST(GreySweep, MultipliesTheExposureBy1Point5AndKeepsTheFirstValueAtTheFinalLevel) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    kcColorBalanceParams p = exposureOnly(0.001, 0.01);
    p.isContrastEnabled(true);
    tool.init(p, kcColorCameraSettings(0.0, 0.5, 0.5));
    in.greyMode() = true;
    in.state().phase = kPhaseGreyExposureSweep;
    in.current() = kcColorCameraSettings(0.001, 1.0, 0.5);
    const double expected[] = {0.0015, 0.00225, 0.003375, 0.0050625, 0.00759375};
    // Grey maxima rise and then stay at 200 from the third image on.
    const unsigned char levels[] = {50, 120, 200, 200, 200, 200};
    for (int i = 0; i < 5; ++i) {
        kcPelBuffer<unsigned char> grey = flat(levels[i]).plane0();
        const kcColorCameraSettings s = in.greyStep(grey);
        EXPECT_NEAR(s.exposure(), expected[i], 1e-17) << i;
        EXPECT_EQ(in.state().phase, kPhaseGreyExposureSweep);
    }
    kcPelBuffer<unsigned char> last = flat(levels[5]).plane0();
    const kcColorCameraSettings s = in.greyStep(last);  // 0.011390625 > 0.01: finished
    EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep);
    EXPECT_DOUBLE_EQ(s.exposure(), 0.00225);
    EXPECT_EQ(s.contrast(), 0.0);

    // Contrast sweep: +0.05 per image (snapped), then the hand-over to a grid pass.
    for (int i = 0; i < 40; ++i) {
        kcPelBuffer<unsigned char> grey = flat(100).plane0();
        in.greyStep(grey);
        if (in.state().phase != kPhaseGreyContrastSweep) break;
    }
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    EXPECT_FALSE(in.greyMode());
    EXPECT_EQ(in.state().searchSpread, 25.0);
    EXPECT_EQ(in.state().previousSettings.contrast(), 0.0);  // first contrast at the final level
}

TEST(GreySweep, EndsAtOnceForAnExposureThatCannotGrow) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    for (double exposure : {0.0, -0.01, double(NAN), double(INFINITY)}) {
        tool.init(exposureOnly(0.0, 0.3), kcColorCameraSettings());
        in.greyMode() = true;
        in.state().phase = kPhaseGreyExposureSweep;
        in.current().exposure(exposure);
        kcPelBuffer<unsigned char> grey = flat(kGood).plane0();
        in.greyStep(grey);
        EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep) << exposure;
    }
    // Phase 5 passes one image through and leaves grey mode.
    in.state().phase = kPhaseRestart;
    in.greyMode() = true;
    const kcColorCameraSettings before = in.current();
    kcPelBuffer<unsigned char> grey = flat(kGood).plane0();
    EXPECT_EQ(in.greyStep(grey), before);
    EXPECT_FALSE(in.greyMode());
}

TEST(GridPass, TakesFourImagesPerCandidateAndHandsOverWhenTheTableIsExhausted) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    tool.init(exposureOnly(0.001, 0.3), kcColorCameraSettings(0.0, 0.5, 0.5));
    in.state().phase = kPhaseGridPass;
    in.state().candidates = {{0.01, 0.5, 0.5}, {0.02, 0.5, 0.5}};
    in.state().candidateIndex = 0;
    in.current() = in.state().candidates[0];
    EXPECT_EQ(in.colorStep(flat(kGood)).exposure(), 0.02);    // over-exposed probe
    EXPECT_EQ(in.colorStep(flat(kBright)).exposure(), 0.01);  // the candidate again
    EXPECT_EQ(in.colorStep(flat(kGood)).exposure(), 0.005);   // under-exposed probe
    EXPECT_EQ(in.colorStep(flat(kGood)), kcColorCameraSettings(0.02, 0.5, 0.5));  // next candidate
    ASSERT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(tool.result(), kcColorCameraSettings(0.01, 0.5, 0.5));
    // Saturation levels from the over-exposed image: 255 x 0.98 = 249.
    EXPECT_EQ(in.tried()[0].measurement.saturationLevels[0], 249);
    EXPECT_EQ(in.state().bestGoodCount, 48);

    // The second candidate's pre-check fails (its over-exposed image is
    // dark, so no pel of its first image counts): dropped after two images.
    in.colorStep(flat(kGood));
    in.colorStep(flat(kDark));
    EXPECT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.state().phase, kPhaseTableExhausted);
    EXPECT_EQ(in.current(), tool.result());

    // Phase 4 lends one image to the grey path, phase 5 restarts.
    in.colorStep(flat(kGood));
    EXPECT_TRUE(in.greyMode());
    EXPECT_EQ(in.state().phase, kPhaseRestart);
    kcPelBuffer<unsigned char> grey = flat(kGood).plane0();
    in.greyStep(grey);
    EXPECT_FALSE(in.greyMode());
    in.colorStep(flat(kGood));
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
}

TEST(GridPass, PreCheckDropsACandidateBelowTheBestCountWithMargin) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    kcColorBalanceParams p = exposureOnly(0.001, 0.3);
    p.isExposureEnabled(false);
    p.isContrastEnabled(true);
    tool.init(p, kcColorCameraSettings(0.01, 0.5, 0.5));
    in.state().phase = kPhaseGridPass;
    in.state().candidates = {{0.01, 0.5, 0.5}, {0.01, 0.6, 0.5}};
    in.state().candidateIndex = 0;
    in.state().isFirstRound = false;
    // 40 x 30 subsampled by 5 is 8 x 6 = 48 pels; 48 x 1.025 = 49.2 < 50.
    in.state().bestGoodCount = 50;
    in.colorStep(flat(kGood));
    EXPECT_EQ(in.state().candidateIndex, 1u);
    EXPECT_TRUE(in.tried().empty());
    in.state().bestGoodCount = 49;  // 49.2 passes
    in.colorStep(flat(kGood));
    EXPECT_TRUE(in.state().stepTwoDone);
    in.colorStep(flat(kGood));  // exposure disabled: two images per candidate
    EXPECT_EQ(in.tried().size(), 1u);
    EXPECT_EQ(in.tried()[0].measurement.saturationLevels[2], 239);
}

TEST(Restart, HalvesDoublesAndEndsTheSearchByTheGridSizeRule) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    tool.init(kcColorBalanceParams(), kcColorCameraSettings());
    auto restartWith = [&](double spread, bool improved, bool previousFailed) {
        in.state().phase = kPhaseRestart;
        in.state().searchSpread = spread;
        in.state().improvedInRound = improved;
        in.state().previousPassFailed = previousFailed;
        in.state().isFirstRound = false;
        in.current() = kcColorCameraSettings(0.05, 0.5, 0.5);
        in.state().previousSettings = kcColorCameraSettings(0.04, 0.5, 0.5);
        in.colorStep(flat(kGood));
    };
    in.state().candidates = {{0.1, 0.1, 0.1}};
    restartWith(1.5, false, true);
    EXPECT_TRUE(tool.done());
    EXPECT_EQ(in.state().searchSpread, 0.75);
    EXPECT_EQ(in.state().gridCount, 1);
    EXPECT_EQ(in.state().candidates.size(), 1u);  // no new table
    EXPECT_EQ(in.state().phase, kPhaseRestart);

    tool.init(kcColorBalanceParams(), kcColorCameraSettings());
    restartWith(3.0, true, true);
    EXPECT_EQ(in.state().searchSpread, 6.0);
    EXPECT_FALSE(in.state().previousPassFailed);
    EXPECT_EQ(in.state().phase, kPhaseGridPass);
    restartWith(6.0, true, true);
    EXPECT_EQ(in.state().searchSpread, 6.0);
    restartWith(6.0, false, false);  // first failure after an improvement only arms the shrinking
    EXPECT_EQ(in.state().searchSpread, 6.0);
    EXPECT_TRUE(in.state().previousPassFailed);
    EXPECT_FALSE(tool.done());

    in.state().gridCount = 1000;
    restartWith(6.0, true, false);
    EXPECT_EQ(in.state().gridCount, 1001);
    EXPECT_TRUE(tool.done());
}

TEST(GridPass, TheFourthTimeTheSameSettingsBecomeBestEndsTheSearch) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    kcColorBalanceParams p = exposureOnly(0.001, 0.3);
    p.isExposureEnabled(false);
    p.isBrightnessEnabled(true);
    tool.init(p, kcColorCameraSettings(0.01, 0.5, 0.5));
    const kcColorCameraSettings same(0.01, 0.5, 0.5);
    in.state().phase = kPhaseGridPass;
    in.state().bestHistory = {same};
    in.state().bestHistoryHits = {3};
    in.state().candidates = {same, {0.01, 0.5, 0.6}};
    in.state().candidateIndex = 0;
    in.current() = same;
    in.state().isFirstRound = true;
    in.colorStep(flat(kGood));
    in.colorStep(flat(kGood));
    EXPECT_EQ(in.state().bestHistoryHits[0], 4);
    EXPECT_TRUE(tool.done());
    EXPECT_EQ(in.state().candidateIndex, 1u);  // still advanced in that call
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.5, 0.6));
}

TEST(ColorStep, UnknownPhasesOnlySmoothAndSizeChangesAreRefused) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    tool.init(kcColorBalanceParams(), kcColorCameraSettings());
    for (std::uint32_t phase : {0u, 1u, 2u, 99u}) {
        in.state().phase = phase;
        const kcColorCameraSettings before = in.current();
        EXPECT_EQ(in.colorStep(flat(kGood)), before);
        EXPECT_EQ(in.state().phase, phase);
    }
    // The initial sweep keeps images between calls: a new size is refused
    // by the measurement with a clear error instead of reading out of bounds.
    tool.init(exposureOnly(0.001, 0.016), kcColorCameraSettings(0.0, 0.5, 0.5));
    in.colorStep(flat(kGood));
    in.colorStep(flat(kGood));
    EXPECT_THROW(in.colorStep(flat(kGood, 80, 60)), kcBadArgument);
}
