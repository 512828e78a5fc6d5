// tests/clbl/measurement_test.cpp
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "clbl/color_measurement.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/imgproc/color_conversion.h"

namespace {

using Rgb = std::array<int, 3>;

void setPel(const kc3PlanePelBuffer& image, long x, long y, const Rgb& c) {
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        plane.pointToRow(y)[x] = static_cast<unsigned char>(c[p]);
    }
}

void fillRect(const kc3PlanePelBuffer& image, long left, long top, long width, long height, const Rgb& c) {
    for (long y = top; y < top + height; ++y)
        for (long x = left; x < left + width; ++x) setPel(image, x, y, c);
}

kc3PlanePelBuffer filled(long width, long height, const Rgb& c) {
    kc3PlanePelBuffer image(width, height);
    fillRect(image, 0, 0, width, height, c);
    return image;
}

kc3PlanePelBuffer randomImage(long width, long height, std::uint32_t seed) {
    kc3PlanePelBuffer image(width, height);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> value(0, 255);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) setPel(image, x, y, {value(gen), value(gen), value(gen)});
    return image;
}

int hueOf(const Rgb& c) {
    kc3PlanePelBuffer hsi;
    kfPelRGBToHSI(filled(1, 1, c), hsi);
    return hsi.plane(0).pointToRow(0)[0];
}

// A measurement with `goodCount` good pels whose plane and noise statistics
// have the given sDevs in every plane: score 3 x (planeSDev - noiseSDev).
kcColorBalanceMeasurement withScore(std::int32_t goodCount, double planeSDev, double noiseSDev) {
    // Equal counts at 100 - d and 100 + d have population sDev d.
    auto stats = [](double d) {
        std::vector<unsigned long> h(256);
        h[static_cast<std::size_t>(100 - d)] += 1;
        h[static_cast<std::size_t>(100 + d)] += 1;
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

const kc3PlanePelBuffer kNone;

}  // namespace

TEST(ColorMeasurement, CountsPelsGoodWithinInclusiveBoundsAndDarkOrBrightOtherwise) {
    const kc3PlanePelBuffer image(4, 1);
    setPel(image, 0, 0, {5, 120, 239});    // good: both bounds inclusive
    setPel(image, 1, 0, {0, 120, 250});    // dark and bright
    setPel(image, 2, 0, {4, 120, 100});    // dark
    setPel(image, 3, 0, {100, 240, 100});  // bright
    const kcColorBalanceMeasurement m = measureColorImage(image, image, kNone, kNone, 5);

    EXPECT_EQ(m.saturationLevels, (std::array<std::int32_t, 3>{239, 239, 239}));
    EXPECT_EQ(m.pelCount, 4);
    EXPECT_EQ(m.goodCount, 1);
    EXPECT_EQ(m.darkCount, 2);
    EXPECT_EQ(m.brightCount, 2);
    EXPECT_EQ(m.planeStats[0].sampleCount(), 1u);
    EXPECT_EQ(m.planeStats[0].mean(), 5.0);
    EXPECT_EQ(m.planeStats[2].mean(), 239.0);
    // No hue or saturation reference: the hue shift comes from an empty histogram.
    EXPECT_EQ(m.hueShiftStats.sampleCount(), 0u);
    EXPECT_EQ(m.hueShiftStats.mean(), 0.0);
    EXPECT_EQ(m.hueShiftStats.sDev(), 0.0);
    EXPECT_EQ(countGoodPels(image, kNone, 5), 1);
}

TEST(ColorMeasurement, TakesSaturationLevelsFromTheErodedReferencePlanes) {
    const kc3PlanePelBuffer reference = filled(12, 10, {50, 50, 100});
    fillRect(reference, 2, 2, 3, 3, {255, 200, 100});  // survives a 3x3 erosion
    setPel(reference, 9, 8, {255, 255, 255});          // a hot pel, eroded away
    EXPECT_EQ(erodedPlaneMax(reference.plane0()), 255);
    EXPECT_EQ(erodedPlaneMax(reference.plane1()), 200);
    EXPECT_EQ(erodedPlaneMax(reference.plane2()), 100);
    EXPECT_EQ(planeSaturationLevel(reference.plane0()), 249);
    EXPECT_EQ(planeSaturationLevel(reference.plane1()), 196);
    EXPECT_EQ(planeSaturationLevel(reference.plane2()), 98);

    const kc3PlanePelBuffer image = filled(12, 10, {249, 196, 98});
    setPel(image, 0, 0, {250, 196, 98});
    setPel(image, 1, 0, {249, 197, 98});
    setPel(image, 2, 0, {249, 196, 99});
    const kcColorBalanceMeasurement m = measureColorImage(image, image, reference, kNone, 5);
    EXPECT_EQ(m.saturationLevels, (std::array<std::int32_t, 3>{249, 196, 98}));
    EXPECT_EQ(m.goodCount, 12 * 10 - 3);
    EXPECT_EQ(m.brightCount, 3);
    EXPECT_EQ(countGoodPels(image, reference, 5), 12 * 10 - 3);

    // A reference with robust maximum 0 leaves no pel good.
    const kc3PlanePelBuffer black = filled(12, 10, {0, 0, 0});
    setPel(black, 5, 5, {255, 255, 255});
    const kcColorBalanceMeasurement none = measureColorImage(image, image, black, kNone, 5);
    EXPECT_EQ(none.saturationLevels, (std::array<std::int32_t, 3>{0, 0, 0}));
    EXPECT_EQ(none.goodCount, 0);
    EXPECT_EQ(none.brightCount, 12 * 10);
    EXPECT_EQ(countGoodPels(image, black, 5), 0);
}

TEST(ColorMeasurement, NoiseIsThePlainDifferenceToTheRepeatImage) {
    const kc3PlanePelBuffer image = randomImage(20, 10, 7);
    const kcColorBalanceMeasurement same = measureColorImage(image, image, kNone, kNone, 5);
    ASSERT_GT(same.goodCount, 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(same.noiseStats[p].mean(), 0.0);
        EXPECT_EQ(same.noiseStats[p].sDev(), 0.0);
    }

    // Repeat values 2 below in half the pels and 3 above in the others:
    // differences 2 and 3, whatever their sign.
    const kc3PlanePelBuffer flat = filled(4, 2, {100, 100, 100});
    const kc3PlanePelBuffer repeat = filled(4, 2, {98, 100, 100});
    fillRect(repeat, 0, 1, 4, 1, {103, 100, 100});
    const kcColorBalanceMeasurement m = measureColorImage(flat, repeat, kNone, kNone, 5);
    EXPECT_EQ(m.noiseStats[0].mean(), 2.5);
    EXPECT_EQ(m.noiseStats[0].sDev(), 0.5);
    EXPECT_EQ(m.noiseStats[1].mean(), 0.0);
}

TEST(ColorMeasurement, HueShiftComparesWithTheHueReferenceElseTheSaturationReference) {
    const Rgb pel{230, 5, 60};
    const Rgb huePel{230, 60, 5};
    const Rgb satPel{5, 230, 60};
    const int shiftToHue = std::abs(hueOf(pel) - hueOf(huePel));
    const int shiftToSat = std::abs(hueOf(pel) - hueOf(satPel));
    ASSERT_GT(shiftToHue, 128);  // plain difference, not the shorter way round
    ASSERT_NE(shiftToHue, shiftToSat);

    // The left half of the image is dark; the saturation reference is white
    // there, so the levels are 249 and only the right half counts.
    const kc3PlanePelBuffer image = filled(8, 4, pel);
    fillRect(image, 0, 0, 4, 4, {0, 0, 0});
    const kc3PlanePelBuffer saturation = filled(8, 4, satPel);
    fillRect(saturation, 0, 0, 4, 4, {255, 255, 255});
    const kc3PlanePelBuffer hue = filled(8, 4, huePel);

    const kcColorBalanceMeasurement withHue = measureColorImage(image, image, saturation, hue, 5);
    EXPECT_EQ(withHue.saturationLevels, (std::array<std::int32_t, 3>{249, 249, 249}));
    EXPECT_EQ(withHue.goodCount, 16);
    EXPECT_EQ(withHue.hueShiftStats.sampleCount(), 16u);
    EXPECT_EQ(withHue.hueShiftStats.mean(), shiftToHue);
    EXPECT_EQ(withHue.hueShiftStats.sDev(), 0.0);

    const kcColorBalanceMeasurement withSat = measureColorImage(image, image, saturation, kNone, 5);
    EXPECT_EQ(withSat.hueShiftStats.mean(), shiftToSat);
}

TEST(ColorMeasurement, CompanionsAreWalkedInStepWithTheImageWindow) {
    // The image window starts at (2, 1); each companion's at its own offset.
    // Pels outside the windows carry values that would change every result.
    kc3PlanePelBuffer image = filled(10, 8, {255, 255, 255});
    fillRect(image, 2, 1, 5, 4, {100, 150, 190});
    setPel(image, 3, 2, {0, 150, 190});
    setPel(image, 4, 3, {100, 150, 197});
    image.window(kcPelRect(2, 1, 5, 4));

    kc3PlanePelBuffer repeat = filled(12, 12, {0, 0, 0});
    fillRect(repeat, 6, 7, 5, 4, {101, 150, 190});
    repeat.window(kcPelRect(6, 7, 5, 4));

    kc3PlanePelBuffer hue = filled(9, 9, {0, 255, 0});
    fillRect(hue, 4, 0, 5, 4, {100, 150, 190});
    hue.window(kcPelRect(4, 0, 5, 4));

    // Robust maximum 200 inside the window, 255 outside it.
    kc3PlanePelBuffer saturation = filled(7, 6, {255, 255, 255});
    fillRect(saturation, 1, 2, 5, 4, {200, 200, 200});
    saturation.window(kcPelRect(1, 2, 5, 4));

    const kcColorBalanceMeasurement m = measureColorImage(image, repeat, saturation, hue, 5);
    EXPECT_EQ(m.pelCount, 20);
    EXPECT_EQ(m.saturationLevels, (std::array<std::int32_t, 3>{196, 196, 196}));
    EXPECT_EQ(m.goodCount, 18);
    EXPECT_EQ(m.darkCount, 1);
    EXPECT_EQ(m.brightCount, 1);  // 197 > 196 in plane 2
    EXPECT_EQ(m.noiseStats[0].mean(), 1.0);
    EXPECT_EQ(m.noiseStats[0].sDev(), 0.0);
    EXPECT_EQ(m.hueShiftStats.mean(), 0.0);
    EXPECT_EQ(countGoodPels(image, saturation, 5), 18);
}

TEST(ColorMeasurement, RejectsCompanionsOfAnotherWindowSize) {
    const kc3PlanePelBuffer image = randomImage(8, 6, 1);
    const kc3PlanePelBuffer wider = randomImage(9, 6, 2);
    const kc3PlanePelBuffer shorter = randomImage(8, 5, 3);
    EXPECT_THROW(measureColorImage(image, wider, kNone, kNone, 5), kcBadArgument);
    EXPECT_THROW(measureColorImage(image, image, shorter, kNone, 5), kcBadArgument);
    EXPECT_THROW(measureColorImage(image, image, kNone, wider, 5), kcBadArgument);
    EXPECT_THROW(countGoodPels(image, shorter, 5), kcBadArgument);
    try {
        measureColorImage(image, wider, kNone, kNone, 5);
        FAIL() << "no exception";
    } catch (const kcBadArgument& e) {
        EXPECT_NE(e.message().find(L"repeat image"), std::wstring::npos);
        EXPECT_NE(e.message().find(L"9 x 6"), std::wstring::npos);
        EXPECT_NE(e.message().find(L"8 x 6"), std::wstring::npos);
    }
}

TEST(ColorMeasurement, RejectsUnboundImagesAndMeasuresEmptyWindowsAsZero) {
    const kc3PlanePelBuffer image = randomImage(8, 6, 1);
    EXPECT_THROW(measureColorImage(kNone, kNone, kNone, kNone, 5), kcUnboundBuffer);
    EXPECT_THROW(measureColorImage(image, kNone, kNone, kNone, 5), kcUnboundBuffer);
    EXPECT_THROW(countGoodPels(kNone, kNone, 5), kcUnboundBuffer);

    kc3PlanePelBuffer empty = randomImage(8, 6, 2);
    empty.window(kcPelRect(3, 2, 0, 4));
    const kcColorBalanceMeasurement m = measureColorImage(empty, empty, kNone, kNone, 5);
    EXPECT_EQ(m.pelCount, 0);
    EXPECT_EQ(m.goodCount, 0);
    EXPECT_EQ(m.darkCount, 0);
    EXPECT_EQ(m.brightCount, 0);
    for (int p = 0; p < 3; ++p) {
        EXPECT_EQ(m.planeStats[p].sampleCount(), 0u);
        EXPECT_EQ(m.planeStats[p].sDev(), 0.0);
        EXPECT_EQ(m.noiseStats[p].mean(), 0.0);
    }
    EXPECT_EQ(m.hueShiftStats.mean(), 0.0);
    EXPECT_EQ(countGoodPels(empty, kNone, 5), 0);
}

TEST(ColorMeasurement, AgreesWithAPelByPelCountOnRandomImages) {
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        const kc3PlanePelBuffer image = randomImage(37, 23, seed);
        const kc3PlanePelBuffer reference = randomImage(37, 23, seed + 100);
        const std::int32_t darkLevel = static_cast<std::int32_t>(seed * 20);
        const bool useReference = seed % 2 == 0;
        const kc3PlanePelBuffer& saturation = useReference ? reference : kNone;
        std::array<int, 3> levels{239, 239, 239};
        if (useReference)
            for (int p = 0; p < 3; ++p) levels[p] = planeSaturationLevel(reference.plane(p));

        std::int32_t good = 0, dark = 0, bright = 0;
        for (long y = 0; y < 23; ++y) {
            for (long x = 0; x < 37; ++x) {
                bool isDark = false, isBright = false;
                for (int p = 0; p < 3; ++p) {
                    const int q = image.plane(p).pointToRow(y)[x];
                    isDark = isDark || q < darkLevel;
                    isBright = isBright || q > levels[p];
                }
                good += !isDark && !isBright;
                dark += isDark;
                bright += isBright;
            }
        }
        const kcColorBalanceMeasurement m = measureColorImage(image, reference, saturation, kNone, darkLevel);
        EXPECT_EQ(m.goodCount, good);
        EXPECT_EQ(m.darkCount, dark);
        EXPECT_EQ(m.brightCount, bright);
        EXPECT_EQ(static_cast<std::int32_t>(m.planeStats[1].sampleCount()), good);
        EXPECT_EQ(static_cast<std::int32_t>(m.noiseStats[2].sampleCount()), good);
        EXPECT_EQ(countGoodPels(image, saturation, darkLevel), good);
    }
}

TEST(ColorMeasurement, GoodCountDecidesBeyondTheMarginAndScoreWithinIt) {
    const kcColorBalanceMeasurement good = withScore(1000, 30.0, 1.0);  // score 87
    const kcColorBalanceMeasurement poor = withScore(1000, 10.0, 1.0);  // score 27
    // 1000 and 1025 are within the margin: the score decides.
    EXPECT_TRUE(isBetterMeasurement(withScore(1025, 10.0, 1.0), good));
    EXPECT_FALSE(isBetterMeasurement(good, withScore(1025, 10.0, 1.0)));
    EXPECT_TRUE(isBetterMeasurement(poor, withScore(1025, 30.0, 1.0)));
    // 1000 and 1026 are not: the count decides against the score.
    EXPECT_TRUE(isBetterMeasurement(good, withScore(1026, 10.0, 1.0)));
    EXPECT_FALSE(isBetterMeasurement(withScore(1026, 10.0, 1.0), good));
    // Equal scores: a positive one does not beat itself; a negative one does,
    // since 1.05 times a negative score is the smaller value.
    EXPECT_FALSE(isBetterMeasurement(good, good));
    const kcColorBalanceMeasurement zero = withScore(1000, 5.0, 5.0);
    EXPECT_FALSE(isBetterMeasurement(zero, zero));
    const kcColorBalanceMeasurement negative = withScore(1000, 1.0, 20.0);
    EXPECT_TRUE(isBetterMeasurement(negative, negative));
    // The hue shift counts twice against a measurement: 87 - 2 x 10 = 67,
    // which a score of 75 beats (with weight 1 it would not: 1.05 x 77 > 75).
    kcColorBalanceMeasurement shifted = withScore(1000, 30.0, 1.0);
    std::vector<unsigned long> hue(256);
    hue[10] = 1;
    shifted.hueShiftStats = kcHistoStats(hue, false);
    EXPECT_TRUE(isBetterMeasurement(shifted, withScore(1000, 26.0, 1.0)));
    EXPECT_FALSE(isBetterMeasurement(good, withScore(1000, 26.0, 1.0)));
}
