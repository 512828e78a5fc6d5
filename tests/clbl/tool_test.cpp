// tests/clbl/tool_test.cpp
// The tool object, init, candidate selection and grid installation.
#include "clbl/tool.h"

#include <gtest/gtest.h>

#include <cmath>

#include "clbl/candidate_tables.h"
#include "tool_inspector.h"

namespace {
kcColorBalanceMeasuredSetting tried(const kcColorCameraSettings& s, int pels, int dark, int bright) {
    kcColorBalanceMeasuredSetting m;
    m.settings = s;
    m.measurement.pelCount = pels;
    m.measurement.darkCount = dark;
    m.measurement.brightCount = bright;
    return m;
}
}  // namespace

TEST(Tool, StartsInitialisedWithDefaults) {
    kcColorBalanceTool tool;
    EXPECT_FALSE(tool.done());
    EXPECT_EQ(tool.subsamplingFactor(), 5u);
    EXPECT_EQ(tool.params(), kcColorBalanceParams());
    EXPECT_EQ(tool.result(), kcColorCameraSettings(0.0, 0.0, 0.0));
    kcColorBalanceToolInspector in(tool);
    EXPECT_EQ(in.state().phase, kPhaseInitialSweep);
    EXPECT_EQ(in.state().candidates.size(), 720u);
}

TEST(Tool, InitProposesTheFirstTableEntryAndKeepsTheStartAsResult) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    const kcColorCameraSettings start(0.02, 0.3, 0.4);
    const kcColorCameraSettings first = tool.init(kcColorBalanceParams(), start);
    EXPECT_EQ(first, kcColorCameraSettings(1e-6, 0.0, 0.0));
    EXPECT_EQ(tool.result(), start);
    EXPECT_EQ(in.state().initialSettings, kcColorCameraSettings(1e-6, 1.0, 0.2));
    EXPECT_EQ(in.state().phase, kPhaseInitialSweep);
    EXPECT_EQ(tool.init(kcColorBalanceParams(), start), first);  // twice in a row: the same

    kcColorBalanceParams none;
    none.isExposureEnabled(false);
    none.isContrastEnabled(false);
    none.isBrightnessEnabled(false);
    EXPECT_EQ(tool.init(none, start), start);
    EXPECT_EQ(in.state().phase, kPhaseInitialSweepFixedExposure);
    EXPECT_EQ(in.state().candidates.size(), 1u);
}

TEST(Tool, EmptyImageHandleThrowsBadPointerAndChangesNothing) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    kcPtrHandle<kcAcqImage> empty;
    const kcColorCameraSettings before = in.current();
    EXPECT_THROW(tool.nextSettingsFromImages(empty, nullptr, 0), kcBadPointer);
    in.greyMode() = true;
    EXPECT_THROW(tool.nextSettingsFromImages(empty, nullptr, 0), kcBadPointer);
    EXPECT_EQ(in.current(), before);
    EXPECT_EQ(in.state().candidateIndex, 0u);
}

TEST(CandidateSelection, SkipsCandidatesThatChangeADisabledSetting) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    in.params().isExposureEnabled(false);
    in.current() = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.state().candidates = {{std::nextafter(0.01, 1.0), 0.1, 0.1}, {0.02, 0.2, 0.2}, {0.01, 0.3, 0.3}};
    in.state().candidateIndex = 0;
    EXPECT_TRUE(in.assignNextSettings(false));
    EXPECT_EQ(in.state().candidateIndex, 2u);
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.3, 0.3));

    // Past the end: false at once, nothing changes.
    in.state().candidateIndex = 7;
    EXPECT_FALSE(in.assignNextSettings(true));
    EXPECT_EQ(in.state().candidateIndex, 7u);
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.3, 0.3));

    // No qualifying candidate: false, index at the table size.
    in.current() = kcColorCameraSettings(0.05, 0.5, 0.5);
    in.state().candidateIndex = 0;
    EXPECT_FALSE(in.assignNextSettings(false));
    EXPECT_EQ(in.state().candidateIndex, 3u);
}

TEST(CandidateSelection, ExcludesTriedTooBrightAndTooDarkCandidates) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    const kcColorCameraSettings a(0.01, 0.5, 0.5);
    in.tried() = {tried(a, 1000, 0, 0)};
    in.state().bestGoodCount = 0;
    in.state().candidates = {{0.01 + 1e-15, 0.5, 0.5 - 1e-15}, {0.02, 0.6, 0.6}};
    in.state().candidateIndex = 0;
    // Within 1e-15 in every component: already tried.
    EXPECT_TRUE(in.assignNextSettings(true));
    EXPECT_EQ(in.state().candidateIndex, 1u);
    // Without the check the same candidate is taken.
    in.state().candidateIndex = 0;
    EXPECT_TRUE(in.assignNextSettings(false));
    EXPECT_EQ(in.state().candidateIndex, 0u);

    // bestGoodCount 1000 gives the threshold 951.8...; 900 unsaturated pels is below it.
    in.state().bestGoodCount = 1000;
    in.tried() = {tried(a, 1000, 0, 100)};
    in.state().candidates = {{0.02, 0.5, 0.5}, {0.02, 0.4, 0.5}, {0.005, 0.5, 0.5}};
    in.state().candidateIndex = 0;
    EXPECT_TRUE(in.assignNextSettings(true));  // brighter in every component is excluded
    EXPECT_EQ(in.state().candidateIndex, 1u);

    in.tried() = {tried(a, 1000, 100, 0)};
    in.state().candidates = {{0.005, 0.5, 0.5}, {0.005, 0.5, 0.6}};
    in.state().candidateIndex = 0;
    EXPECT_TRUE(in.assignNextSettings(true));  // darker in every component is excluded
    EXPECT_EQ(in.state().candidateIndex, 1u);

    // 952 pels left is not below the threshold: nothing excluded.
    in.tried() = {tried(a, 1000, 48, 48)};
    in.state().candidateIndex = 0;
    EXPECT_TRUE(in.assignNextSettings(true));
    EXPECT_EQ(in.state().candidateIndex, 0u);

    // The last candidate excluded: false, index at the size, current is that candidate.
    in.tried() = {tried(kcColorCameraSettings(0.005, 0.5, 0.6), 1000, 0, 0)};
    in.state().candidateIndex = 1;
    EXPECT_FALSE(in.assignNextSettings(true));
    EXPECT_EQ(in.state().candidateIndex, 2u);
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.005, 0.5, 0.6));
}

TEST(ColorInitialisation, HandOverInstallsTheWideGridWithTheCentreLast) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    previousCandidates().clear();
    in.state().candidates.clear();
    in.state().isFirstRound = true;
    in.current() = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.initializeSettingsForColorImage(false);
    EXPECT_EQ(in.state().searchSpread, 25.0);
    EXPECT_EQ(in.state().gridCount, 0);
    ASSERT_EQ(in.state().candidates.size(), 27u);
    EXPECT_EQ(in.state().candidates[26], kcColorCameraSettings(0.01, 0.5, 0.5));
    EXPECT_EQ(in.state().previousSettings, kcColorCameraSettings(0.01, 0.5, 0.5));
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.0025, 0.0, 0.0));
    EXPECT_TRUE(previousCandidates().empty());

    // Same centre and spread, not the first round: refused; the old table
    // becomes the previous table and the current settings stay.
    in.state().isFirstRound = false;
    in.current() = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.initializeSettingsForColorImage(false);
    EXPECT_TRUE(in.state().candidates.empty());
    EXPECT_EQ(in.state().candidateIndex, 0u);
    EXPECT_EQ(in.current(), kcColorCameraSettings(0.01, 0.5, 0.5));
    EXPECT_EQ(previousCandidates().size(), 27u);

    // Halved spread: not refused, and nothing of the previous table returns.
    in.state().searchSpread = 12.5;
    in.initializeSettingsForColorImage(false);
    EXPECT_EQ(previousCandidates().size(), 27u);
    EXPECT_FALSE(in.state().candidates.empty());
    for (const auto& s : in.state().candidates)
        for (const auto& p : previousCandidates()) EXPECT_FALSE(s == p);

    in.initializeSettingsForColorImage(true);
    EXPECT_EQ(in.state().searchSpread, 5.0);
}

TEST(ColorInitialisation, ExtrapolatesAlongTheLastImprovement) {
    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in(tool);
    in.tried().clear();
    in.state().previousSettings = kcColorCameraSettings(0.010, 0.5, 0.5);
    in.current() = kcColorCameraSettings(0.014, 0.5, 0.5);
    in.initializeSettingsForColorImageUsingLastBestResult();
    ASSERT_EQ(in.state().candidates.size(), 4u);
    const double expected[] = {0.016, 0.018, 0.020, 0.022};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(in.state().candidates[i].exposure(), expected[i], 1e-15);
    EXPECT_EQ(in.state().previousSettings, kcColorCameraSettings(0.014, 0.5, 0.5));
    EXPECT_FALSE(in.state().improvedInRound);

    in.state().previousSettings = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.current() = kcColorCameraSettings(0.01, 0.75, 0.5);
    in.initializeSettingsForColorImageUsingLastBestResult();
    ASSERT_EQ(in.state().candidates.size(), 2u);
    EXPECT_EQ(in.state().candidates[0].contrast(), 0.875);
    EXPECT_EQ(in.state().candidates[1].contrast(), 1.0);

    // Best equal to the centre and already tried: one candidate, excluded.
    in.state().previousSettings = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.current() = kcColorCameraSettings(0.01, 0.5, 0.5);
    in.tried() = {tried(kcColorCameraSettings(0.01, 0.5, 0.5), 100, 0, 0)};
    in.initializeSettingsForColorImageUsingLastBestResult();
    EXPECT_EQ(in.state().candidates.size(), 1u);
    EXPECT_EQ(in.state().candidateIndex, 1u);
}
