// tests/clbl/tool_test.cpp
// The tool object, init, candidate selection and grid installation.
#include "clbl/tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "tests/support/tool_inspector.h"

namespace {
kcColorBalanceMeasuredSetting tried(const kcColorCameraSettings& s, int pels, int dark, int bright) {
    kcColorBalanceMeasuredSetting m;
    m.settings = s;
    m.measurement.pelCount = pels;
    m.measurement.darkCount = dark;
    m.measurement.brightCount = bright;
    return m;
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

    kcColorBalanceTool tool;
    kcColorBalanceToolInspector in{tool};
};
using Tool = ToolTest;
using CandidateSelection = ToolTest;
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
