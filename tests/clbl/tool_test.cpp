// tests/clbl/tool_test.cpp
// The tool from the inside: candidate selection, and the phases of the
// search, each reached by a short scripted sequence of flat images (a flat
// image stays flat through the smoothing, so its pels are all good (mid
// grey), all dark (0) or all saturated (255)).
#include "clbl/tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/flat_image.h"
#include "tests/support/tool_inspector.h"

namespace {
constexpr unsigned char kGood = 128;

// Exposure alone, over [start, end].
kcColorBalanceParams exposureOnly(double start, double end) {
    kcColorBalanceParams p;
    p.exposureRange(kcRange(start, end));
    p.isContrastEnabled(false);
    p.isBrightnessEnabled(false);
    return p;
}

kcColorBalanceMeasuredSetting tried(const kcColorCameraSettings& s, int pels, int dark, int bright) {
    return {s, {.pelCount = pels, .darkCount = dark, .brightCount = bright, .hueShiftStats = {}}};
}

using Found = std::pair<bool, std::size_t>;

class ToolTest : public testing::Test {
protected:
    // Candidates `table` from `index` on: the result of the selection and the index it stops at.
    Found select(std::vector<kcColorCameraSettings> table, std::size_t index, bool check) {
        in.state().candidates = std::move(table);
        in.state().candidateIndex = index;
        const bool found = in.assignNextSettings(check);
        return {found, in.state().candidateIndex};
    }

    kcColorCameraSettings color(unsigned char value) { return in.colorStep(flat(value, 40, 30)); }
    kcColorCameraSettings grey(unsigned char value) { return in.greyStep(flat(value, 40, 30).plane0()); }

    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in{tool};
};
using Tool = ToolTest;
using CandidateSelection = ToolTest;
using SearchPhase = ToolTest;
}  // namespace

TEST_F(Tool, EmptyImageHandleThrowsBadPointerAndChangesNothing) {
    kcPtrHandle<kcAcqImage> empty;
    const kcColorCameraSettings before = in.current();
    EXPECT_THROW(tool.nextSettingsFromImages(empty, nullptr, 0), kcBadPointer);
    in.greyMode() = true;
    EXPECT_THROW(tool.nextSettingsFromImages(empty, nullptr, 0), kcBadPointer);
    EXPECT_EQ(in.current(), before);
    EXPECT_EQ(in.state().candidateIndex, 0u);
}

TEST_F(CandidateSelection, SkipsCandidatesThatChangeADisabledSetting) {
    in.params().isExposureEnabled(false);
    in.current() = kcColorCameraSettings(0.01, 0.5, 0.5);
    const std::vector<kcColorCameraSettings> table{
        {std::nextafter(0.01, 1.0), 0.1, 0.1}, {0.02, 0.2, 0.2}, {0.01, 0.3, 0.3}};
    EXPECT_EQ(select(table, 0, false), Found(true, 2));
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.3, 0.3));
    // Past the end: false at once, nothing changes.
    EXPECT_EQ(select(table, 7, true), Found(false, 7));
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.3, 0.3));
    // No qualifying candidate: false, index at the table size.
    in.current() = kcColorCameraSettings(0.05, 0.5, 0.5);
    EXPECT_EQ(select(table, 0, false), Found(false, 3));
}

TEST_F(CandidateSelection, ExcludesTriedTooBrightAndTooDarkCandidates) {
    const kcColorCameraSettings a(0.01, 0.5, 0.5);
    // Within 1e-15 in every component: already tried, unless unchecked.
    in.tried() = {tried(a, 1000, 0, 0)};
    const std::vector<kcColorCameraSettings> near{{0.01 + 1e-15, 0.5, 0.5 - 1e-15}, {0.02, 0.6, 0.6}};
    EXPECT_EQ(select(near, 0, true), Found(true, 1));
    EXPECT_EQ(select(near, 0, false), Found(true, 0));

    // bestGoodCount 1000 gives the threshold 951.8...; 900 unsaturated pels is below it.
    in.state().bestGoodCount = 1000;
    in.tried() = {tried(a, 1000, 0, 100)};  // at least as bright in every component is excluded
    EXPECT_EQ(select({{0.01, 0.6, 0.5}, {0.02, 0.4, 0.5}}, 0, true), Found(true, 1));
    in.tried() = {tried(a, 1000, 100, 0)};  // darker in every component is excluded
    const std::vector<kcColorCameraSettings> darker{{0.005, 0.5, 0.5}, {0.005, 0.5, 0.6}};
    EXPECT_EQ(select(darker, 0, true), Found(true, 1));
    in.tried() = {tried(a, 1000, 48, 48)};  // 952 pels left is not below the threshold
    EXPECT_EQ(select(darker, 0, true), Found(true, 0));

    // The last candidate excluded: false, index at the size, current is that candidate.
    in.tried() = {tried(darker[1], 1000, 0, 0)};
    EXPECT_EQ(select(darker, 1, true), Found(false, 2));
    EXPECT_EQ(in.current(), darker[1]);
}

TEST_F(SearchPhase, GreySweepEndsAtOnceForAnExposureThatCannotGrow) {
    for (double exposure : {0.0, -0.01, double(NAN), double(INFINITY)}) {
        tool.init(exposureOnly(0.0, 0.3), kcColorCameraSettings());
        in.greyMode() = true;
        in.state().phase = kPhaseGreyExposureSweep;
        in.current() = kcColorCameraSettings(exposure, 0.5, 0.5);
        grey(kGood);
        EXPECT_EQ(in.state().phase, kPhaseGreyContrastSweep) << exposure;
    }
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
