// tests/clbl/measurement_test.cpp
// The measuring operations: against plain pel-by-pel forms of the same rules
// (full hue conversions, an eroded image and its histogram), on images wide
// enough for every vectorised path and its tail; then hand-made cases of
// what that comparison does not reach: size checks, a black saturation
// reference, and the comparison of measurements.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "clbl/internal/color_measurement.h"
#include "tests/support/flat_image.h"
#include "tests/support/thrown.h"
#include "toolkit/imgproc/color_conversion.h"
#include "toolkit/imgproc/morphology.h"

namespace {

const kc3PlanePelBuffer kNone;

// Smooth ramps with noise: long runs of near-equal values, as in smoothed
// camera images, plus random pels at both ends of the range.
kc3PlanePelBuffer testImage(long width, long height, std::uint32_t seed) {
    kc3PlanePelBuffer image(width, height);
    std::mt19937 gen(seed);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < height; ++y)
            for (long x = 0; x < width; ++x) {
                const long ramp = (x * (3 + p) + y * 2 + seed * 17) % 300 - 20 + long(gen() % 7) - 3;
                plane.pointToRow(y)[x] =
                    static_cast<unsigned char>(gen() % 20 == 0 ? long(gen() % 256) : std::clamp(ramp, 0L, 255L));
            }
    }
    return image;
}

long plainErodedPlaneMax(const kcPelBuffer_const<unsigned char>& plane) {
    kcPelBuffer<unsigned char> eroded;
    kcGMorphElement({kcGMorph3x3Element(kcGMorphDefs::eSquare3x3)}).erode(plane, eroded);
    std::vector<unsigned long> histogram(256);
    kfPelHistogram<unsigned char>(eroded, histogram);
    return kcHistoStats(histogram, false).histMax();
}

void append(std::vector<double>& v, const kcHistoStats& s) {
    v.insert(v.end(), {double(s.sampleCount()), s.mean(), s.sDev(), double(s.histMin()), double(s.histMax())});
}

// Every number of a measurement, in one vector for one comparison.
std::vector<double> summary(const kcColorBalanceMeasurement& m) {
    std::vector<double> v{double(m.pelCount), double(m.goodCount), double(m.darkCount), double(m.brightCount)};
    v.insert(v.end(), m.saturationLevels.begin(), m.saturationLevels.end());
    for (const auto& stats : {m.planeStats, m.noiseStats})
        for (const kcHistoStats& s : stats) append(v, s);
    append(v, m.hueShiftStats);
    return v;
}

// The summary of a measurement by the rules applied pel by pel.
std::vector<double> plainMeasurement(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& repeat,
                                     const kc3PlanePelBuffer& saturation, const kc3PlanePelBuffer& hue,
                                     std::int32_t darkLevel) {
    std::array<long, 3> levels{239, 239, 239};
    for (int p = 0; p < 3 && saturation.isBound(); ++p)
        levels[p] = static_cast<long>(double(plainErodedPlaneMax(saturation.plane(p))) * 0.98);
    const kc3PlanePelBuffer& hueSource = hue.isBound() ? hue : saturation;
    kc3PlanePelBuffer imageHsi, referenceHsi;
    kfPelRGBToHSI(image, imageHsi);
    if (hueSource.isBound()) kfPelRGBToHSI(hueSource, referenceHsi);
    std::vector<std::vector<unsigned long>> hist(7, std::vector<unsigned long>(256));
    double good = 0, dark = 0, bright = 0;
    const long width = image.window().width(), height = image.window().height();
    for (long i = 0; i < height; ++i)
        for (long x = 0; x < width; ++x) {
            auto at = [i, x](const kc3PlanePelBuffer& b, int p) {
                return static_cast<int>(b.plane(p).pointToRow(b.window().top() + i)[x]);
            };
            bool isDark = false, isBright = false;
            for (int p = 0; p < 3; ++p) {
                isDark = isDark || at(image, p) < darkLevel;
                isBright = isBright || at(image, p) > levels[p];
            }
            dark += isDark;
            bright += isBright;
            if (isDark || isBright) continue;
            good += 1;
            for (int p = 0; p < 3; ++p) {
                ++hist[p][at(image, p)];
                ++hist[3 + p][std::abs(at(image, p) - at(repeat, p))];
            }
            if (hueSource.isBound()) ++hist[6][std::abs(at(imageHsi, 0) - at(referenceHsi, 0))];
        }
    std::vector<double> v{double(width * height), good, dark, bright};
    v.insert(v.end(), levels.begin(), levels.end());
    for (const auto& h : hist) append(v, kcHistoStats(h, false));
    return v;
}

using Levels = std::array<std::int32_t, 3>;
using Counts = std::array<std::int32_t, 4>;  // pels, good, dark, bright

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

TEST(MeasurementEquivalence, MeasuresExactlyAsThePelByPelRules) {
    // Sizes around the 64-pel blocks and the 3 x 3 erosion; windows off the
    // origin; every mix of companions, the image as its own repeat among them.
    const std::array<std::array<long, 2>, 7> sizes{{{1, 1}, {2, 2}, {3, 40}, {63, 5}, {66, 1}, {130, 17}, {257, 9}}};
    std::uint32_t seed = 1;
    for (const auto& size : sizes) {
        for (const std::int32_t darkLevel : {-7, 0, 1, 5, 255, 300}) {
            // Each image's window at an offset of its own, walked in step.
            const auto windowed = [&size, &seed](long left, long top) {
                kc3PlanePelBuffer image = testImage(size[0] + left + 1, size[1] + top + 2, seed++);
                image.window(kcPelRect(left, top, size[0], size[1]));
                return image;
            };
            const kc3PlanePelBuffer image = windowed(3, 2), repeat = windowed(0, 1), saturation = windowed(1, 0),
                                    hue = windowed(2, 3);
            for (int mix = 0; mix < 8; ++mix) {
                SCOPED_TRACE(testing::Message()
                             << size[0] << " x " << size[1] << ", dark level " << darkLevel << ", mix " << mix);
                const kc3PlanePelBuffer& r = mix & 1 ? repeat : image;
                const kc3PlanePelBuffer& s = mix & 2 ? saturation : kNone;
                const kc3PlanePelBuffer& h = mix & 4 ? hue : kNone;
                const std::vector<double> plain = plainMeasurement(image, r, s, h, darkLevel);
                EXPECT_EQ(summary(measureColorImage(image, r, s, h, darkLevel)), plain);
                EXPECT_EQ(countGoodPels(image, s, darkLevel), plain[1]);
            }
        }
    }
}

TEST(ColorMeasurement, RejectsCompanionsOfAnotherSizeAndUnboundImagesAndMeasuresEmptyWindowsAsZero) {
    const kc3PlanePelBuffer image = flat(100, 8, 6), wider = flat(100, 9, 6), shorter = flat(100, 8, 5);
    EXPECT_THROW(measureColorImage(image, image, shorter, kNone, 5), kcBadArgument);  // walked for the hue
    EXPECT_THROW(measureColorImage(image, image, kNone, wider, 5), kcBadArgument);
    // A saturation reference that only gives levels may have any size.
    const kc3PlanePelBuffer levelsOnly = flat(250, 8, 5);
    EXPECT_EQ(measureColorImage(image, image, levelsOnly, image, 5).goodCount, 48);
    EXPECT_EQ(countGoodPels(image, levelsOnly, 5), 48);
    const std::wstring message =
        thrownMessage<kcBadArgument>([&] { measureColorImage(image, wider, kNone, kNone, 5); });
    for (const wchar_t* part : {L"repeat image", L"9 x 6", L"8 x 6"}) EXPECT_NE(message.find(part), std::wstring::npos);
    EXPECT_THROW(measureColorImage(image, kNone, kNone, kNone, 5), kcUnboundBuffer);
    EXPECT_THROW(countGoodPels(kNone, kNone, 5), kcUnboundBuffer);
    // A reference with robust maximum 0 leaves no pel good.
    const kcColorBalanceMeasurement none = measureColorImage(image, image, flat(0, 8, 6), kNone, 5);
    EXPECT_EQ(none.saturationLevels, (Levels{0, 0, 0}));
    EXPECT_EQ(counts(none), (Counts{48, 0, 0, 48}));

    kc3PlanePelBuffer empty = flat(100, 8, 6);
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
    // An equal score does not beat itself.
    EXPECT_FALSE(isBetterMeasurement(good, good));
}
