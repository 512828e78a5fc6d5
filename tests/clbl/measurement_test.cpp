// tests/clbl/measurement_test.cpp
// Hand-made cases of the measuring rules that the pel-by-pel comparison in
// measurement_equivalence_test.cpp does not reach: size checks, a black
// saturation reference, and the comparison of measurements.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "clbl/internal/color_measurement.h"
#include "toolkit/foundation/exceptions.h"

namespace {

using Rgb = std::array<int, 3>;
using Levels = std::array<std::int32_t, 3>;
using Counts = std::array<std::int32_t, 4>;  // pels, good, dark, bright

const kc3PlanePelBuffer kNone;

kc3PlanePelBuffer filled(long width, long height, const Rgb& c) {
    kc3PlanePelBuffer image(width, height);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < height; ++y) std::memset(plane.pointToRow(y), c[p], static_cast<std::size_t>(width));
    }
    return image;
}

Counts counts(const kcColorBalanceMeasurement& m) { return {m.pelCount, m.goodCount, m.darkCount, m.brightCount}; }

// A measurement with `goodCount` good pels whose plane and noise statistics
// have the given sDevs in every plane: score 3 x (planeSDev - noiseSDev).
kcColorBalanceMeasurement withScore(std::int32_t goodCount, std::size_t planeSDev, std::size_t noiseSDev) {
    auto stats = [](std::size_t d) {  // one count at 100 - d and one at 100 + d: sDev d
        std::vector<unsigned long> h(256);
        h[100 - d] = h[100 + d] = 1;
        return kcHistoStats(h, false);
    };
    kcColorBalanceMeasurement m;
    m.goodCount = goodCount;
    for (int p = 0; p < 3; ++p) {
        m.planeStats[p] = stats(planeSDev);
        m.noiseStats[p] = stats(noiseSDev);
    }
    return m;
}

}  // namespace

TEST(ColorMeasurement, RejectsCompanionsOfAnotherSizeAndUnboundImagesAndMeasuresEmptyWindowsAsZero) {
    const kc3PlanePelBuffer image = filled(8, 6, {100, 100, 100});
    const kc3PlanePelBuffer wider = filled(9, 6, {100, 100, 100});
    const kc3PlanePelBuffer shorter = filled(8, 5, {100, 100, 100});
    EXPECT_THROW(measureColorImage(image, image, shorter, kNone, 5), kcBadArgument);  // walked for the hue
    EXPECT_THROW(measureColorImage(image, image, kNone, wider, 5), kcBadArgument);
    // A saturation reference that only gives levels may have any size.
    const kc3PlanePelBuffer levelsOnly = filled(8, 5, {250, 250, 250});
    EXPECT_EQ(measureColorImage(image, image, levelsOnly, image, 5).goodCount, 48);
    EXPECT_EQ(countGoodPels(image, levelsOnly, 5), 48);
    try {
        measureColorImage(image, wider, kNone, kNone, 5);
        FAIL() << "no exception";
    } catch (const kcBadArgument& e) {
        EXPECT_NE(e.message().find(L"repeat image"), std::wstring::npos);
        EXPECT_NE(e.message().find(L"9 x 6"), std::wstring::npos);
        EXPECT_NE(e.message().find(L"8 x 6"), std::wstring::npos);
    }
    EXPECT_THROW(measureColorImage(image, kNone, kNone, kNone, 5), kcUnboundBuffer);
    EXPECT_THROW(countGoodPels(kNone, kNone, 5), kcUnboundBuffer);
    // A reference with robust maximum 0 leaves no pel good.
    const kcColorBalanceMeasurement none = measureColorImage(image, image, filled(8, 6, {0, 0, 0}), kNone, 5);
    EXPECT_EQ(none.saturationLevels, (Levels{0, 0, 0}));
    EXPECT_EQ(counts(none), (Counts{48, 0, 0, 48}));

    kc3PlanePelBuffer empty = filled(8, 6, {100, 100, 100});
    empty.window(kcPelRect(3, 2, 0, 4));
    const kcColorBalanceMeasurement m = measureColorImage(empty, empty, kNone, kNone, 5);
    EXPECT_EQ(counts(m), (Counts{0, 0, 0, 0}));
    EXPECT_EQ(m.planeStats[1].sampleCount(), 0u);
    EXPECT_EQ(countGoodPels(empty, kNone, 5), 0);
}

TEST(ColorMeasurement, GoodCountDecidesBeyondTheMarginAndScoreWithinIt) {
    const kcColorBalanceMeasurement good = withScore(1000, 30, 1);  // score 87
    // 1000 and 1025 are within the margin: the score decides.
    EXPECT_TRUE(isBetterMeasurement(withScore(1025, 10, 1), good));  // 87 beats 27 despite fewer pels
    EXPECT_FALSE(isBetterMeasurement(good, withScore(1025, 10, 1)));
    // 1000 and 1026 are not: the count decides against the score.
    EXPECT_TRUE(isBetterMeasurement(good, withScore(1026, 10, 1)));
    EXPECT_FALSE(isBetterMeasurement(withScore(1026, 10, 1), good));
    // Equal scores: a positive one does not beat itself; a negative one does,
    // since 1.05 times a negative score is the smaller value.
    EXPECT_FALSE(isBetterMeasurement(good, good));
    const kcColorBalanceMeasurement negative = withScore(1000, 1, 20);
    EXPECT_TRUE(isBetterMeasurement(negative, negative));
    // The hue shift counts twice against a measurement: 87 - 2 x 10 = 67,
    // which a score of 75 beats (with weight 1 it would not: 1.05 x 77 > 75).
    kcColorBalanceMeasurement shifted = good;
    std::vector<unsigned long> hue(256);
    hue[10] = 1;
    shifted.hueShiftStats = kcHistoStats(hue, false);
    EXPECT_TRUE(isBetterMeasurement(shifted, withScore(1000, 26, 1)));
    EXPECT_FALSE(isBetterMeasurement(good, withScore(1000, 26, 1)));
}
