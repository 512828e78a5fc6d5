// tests/clbl/measurement_equivalence_test.cpp
// The measuring operations against plain pel-by-pel forms of the same rules
// (full hue conversions, an eroded image and its histogram), on images wide
// enough for every vectorised path and its tail.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "clbl/color_measurement.h"
#include "toolkit/imgproc/color_conversion.h"
#include "toolkit/imgproc/morphology.h"

namespace {

const kc3PlanePelBuffer kNone;

// Smooth ramps with noise: long runs of near-equal values, as in smoothed
// camera images, plus random pels at both ends of the range.
kc3PlanePelBuffer testImage(long width, long height, std::uint32_t seed) {
    kc3PlanePelBuffer image(width, height);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> noise(-3, 3);
    std::uniform_int_distribution<int> any(0, 255);
    std::uniform_int_distribution<int> pick(0, 19);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < height; ++y)
            for (long x = 0; x < width; ++x) {
                const int ramp = static_cast<int>((x * (3 + p) + y * 2 + seed * 17) % 300) - 20;
                const int v = pick(gen) == 0 ? any(gen) : ramp + noise(gen);
                plane.pointToRow(y)[x] = static_cast<unsigned char>(std::clamp(v, 0, 255));
            }
    }
    return image;
}

long plainErodedPlaneMax(const kcPelBuffer_const<unsigned char>& plane) {
    const kcGMorphElement element({kcGMorph3x3Element(kcGMorphDefs::eSquare3x3)});
    kcPelBuffer<unsigned char> eroded;
    element.erode(plane, eroded);
    std::vector<unsigned long> histogram(256);
    kfPelHistogram<unsigned char>(eroded, histogram);
    return kcHistoStats(histogram, false).histMax();
}

kcColorBalanceMeasurement plainMeasurement(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& repeat,
                                           const kc3PlanePelBuffer& saturation, const kc3PlanePelBuffer& hue,
                                           std::int32_t darkLevel) {
    kcColorBalanceMeasurement m;
    for (int p = 0; p < 3; ++p)
        m.saturationLevels[p] =
            saturation.isBound()
                ? static_cast<std::int32_t>(std::trunc(double(plainErodedPlaneMax(saturation.plane(p))) * 0.98))
                : 239;
    const kc3PlanePelBuffer& hueSource = hue.isBound() ? hue : saturation;
    kc3PlanePelBuffer imageHsi, referenceHsi;
    if (hueSource.isBound()) {
        kfPelRGBToHSI(image, imageHsi);
        kfPelRGBToHSI(hueSource, referenceHsi);
    }
    std::array<std::vector<unsigned long>, 7> hist;
    for (auto& h : hist) h.assign(256, 0);
    const kcPelRect& w = image.window();
    m.pelCount = static_cast<std::int32_t>(w.width() * w.height());
    for (long i = 0; i < w.height(); ++i) {
        for (long x = 0; x < w.width(); ++x) {
            std::array<int, 3> q{}, r{};
            bool dark = false, bright = false;
            for (int p = 0; p < 3; ++p) {
                q[p] = image.plane(p).pointToRow(w.top() + i)[x];
                r[p] = repeat.plane(p).pointToRow(repeat.window().top() + i)[x];
                dark = dark || q[p] < darkLevel;
                bright = bright || q[p] > m.saturationLevels[p];
            }
            if (dark || bright) {
                m.darkCount += dark;
                m.brightCount += bright;
                continue;
            }
            ++m.goodCount;
            for (int p = 0; p < 3; ++p) {
                ++hist[p][q[p]];
                ++hist[3 + p][std::abs(q[p] - r[p])];
            }
            if (hueSource.isBound())
                ++hist[6][std::abs(imageHsi.plane0().pointToRow(i)[x] - referenceHsi.plane0().pointToRow(i)[x])];
        }
    }
    for (int p = 0; p < 3; ++p) {
        m.planeStats[p] = kcHistoStats(hist[p], false);
        m.noiseStats[p] = kcHistoStats(hist[3 + p], false);
    }
    m.hueShiftStats = kcHistoStats(hist[6], false);
    return m;
}

void expectSameStats(const kcHistoStats& a, const kcHistoStats& b, const char* what) {
    EXPECT_EQ(a.sampleCount(), b.sampleCount()) << what;
    EXPECT_EQ(a.mean(), b.mean()) << what;
    EXPECT_EQ(a.sDev(), b.sDev()) << what;
    EXPECT_EQ(a.histMin(), b.histMin()) << what;
    EXPECT_EQ(a.histMax(), b.histMax()) << what;
}

void expectSameMeasurement(const kcColorBalanceMeasurement& a, const kcColorBalanceMeasurement& b) {
    EXPECT_EQ(a.saturationLevels, b.saturationLevels);
    EXPECT_EQ(a.pelCount, b.pelCount);
    EXPECT_EQ(a.darkCount, b.darkCount);
    EXPECT_EQ(a.brightCount, b.brightCount);
    EXPECT_EQ(a.goodCount, b.goodCount);
    for (int p = 0; p < 3; ++p) {
        expectSameStats(a.planeStats[p], b.planeStats[p], "plane");
        expectSameStats(a.noiseStats[p], b.noiseStats[p], "noise");
    }
    expectSameStats(a.hueShiftStats, b.hueShiftStats, "hue shift");
}

}  // namespace

TEST(MeasurementEquivalence, MeasuresExactlyAsThePelByPelRules) {
    // Widths around the 64-pel blocks; a window off the origin; every mix of
    // companions, the measured image as its own repeat image among them.
    const std::array<std::array<long, 2>, 4> sizes{{{1, 1}, {63, 5}, {130, 17}, {257, 9}}};
    const std::array<std::int32_t, 6> darkLevels{-7, 0, 1, 5, 255, 300};
    std::uint32_t seed = 1;
    for (const auto& size : sizes) {
        for (const std::int32_t darkLevel : darkLevels) {
            kc3PlanePelBuffer image = testImage(size[0] + 4, size[1] + 3, seed++);
            image.window(kcPelRect(3, 2, size[0], size[1]));
            const kc3PlanePelBuffer repeat = testImage(size[0], size[1], seed++);
            const kc3PlanePelBuffer saturation = testImage(size[0], size[1], seed++);
            const kc3PlanePelBuffer hue = testImage(size[0], size[1], seed++);
            for (int mix = 0; mix < 6; ++mix) {
                SCOPED_TRACE(testing::Message()
                             << size[0] << " x " << size[1] << ", dark level " << darkLevel << ", mix " << mix);
                const kc3PlanePelBuffer& r = mix % 2 == 0 ? image : repeat;
                const kc3PlanePelBuffer& s = mix / 2 >= 1 ? saturation : kNone;
                const kc3PlanePelBuffer& h = mix / 2 == 2 ? hue : kNone;
                expectSameMeasurement(measureColorImage(image, r, s, h, darkLevel),
                                      plainMeasurement(image, r, s, h, darkLevel));
                EXPECT_EQ(countGoodPels(image, s, darkLevel), plainMeasurement(image, r, s, h, darkLevel).goodCount);
            }
        }
    }
}

TEST(MeasurementEquivalence, RobustMaximumIsTheMaximumOfTheErodedImage) {
    std::uint32_t seed = 50;
    for (const long width : {1L, 2L, 3L, 65L, 66L, 200L}) {
        for (const long height : {1L, 2L, 3L, 40L}) {
            const kc3PlanePelBuffer image = testImage(width, height, seed++);
            EXPECT_EQ(erodedPlaneMax(image.plane1()), plainErodedPlaneMax(image.plane1())) << width << " x " << height;
        }
    }
    // A single bright pel or a bright line one pel wide is eroded away; a
    // 3 x 3 bright block survives.
    kc3PlanePelBuffer image(100, 30);
    kcPelBuffer<unsigned char> plane = image.plane0();
    for (long y = 0; y < 30; ++y) plane.pointToRow(y)[70] = 250;
    plane.pointToRow(4)[9] = 240;
    EXPECT_EQ(erodedPlaneMax(plane), 0);
    for (long y = 10; y < 13; ++y)
        for (long x = 80; x < 83; ++x) plane.pointToRow(y)[x] = 90;
    EXPECT_EQ(erodedPlaneMax(plane), 90);
}
