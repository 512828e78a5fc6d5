// tests/toolkit/imgproc_test.cpp
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/imgproc/color_conversion.h"
#include "toolkit/imgproc/gauss_sample.h"
#include "toolkit/imgproc/morphology.h"

namespace {

using Image = kcPelBuffer<unsigned char>;
using ConstImage = kcPelBuffer_const<unsigned char>;

Image makeImage(long width, long height, const std::function<int(long, long)>& value) {
    Image image(width, height);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) image.pointToRow(y)[x] = static_cast<unsigned char>(value(x, y));
    return image;
}

Image randomImage(long width, long height, unsigned seed) {
    std::mt19937 random(seed);
    return makeImage(width, height, [&random](long, long) { return static_cast<int>(random() & 0xff); });
}

// Pel (x, y) of the window, the window's border replicated beyond it.
int at(const ConstImage& image, long x, long y) {
    x = std::clamp(x, 0L, image.width() - 1);
    y = std::clamp(y, 0L, image.height() - 1);
    return image.pointToRow(image.window().top() + y)[x];
}

// A copy of the window into a new image at the origin.
Image copyOf(const ConstImage& image) {
    return makeImage(image.width(), image.height(), [&image](long x, long y) { return at(image, x, y); });
}

void expectSameImage(const ConstImage& a, const ConstImage& b) {
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    for (long y = 0; y < a.height(); ++y)
        for (long x = 0; x < a.width(); ++x) ASSERT_EQ(at(a, x, y), at(b, x, y)) << "at (" << x << ", " << y << ")";
}

// The Gaussian sampler written the plain way: the full 2-D sum at each
// sampled pel, then the rounding.
Image referenceGauss(const ConstImage& source, long step, long smoothness, double gain) {
    std::vector<std::uint64_t> w(static_cast<std::size_t>(2 * smoothness + 1), 0);
    w[0] = 1;
    for (long row = 1; row <= 2 * smoothness; ++row)
        for (long k = row; k > 0; --k) w[static_cast<std::size_t>(k)] += w[static_cast<std::size_t>(k - 1)];
    const std::uint64_t total = std::uint64_t(1) << (4 * smoothness);
    const long outWidth = (source.width() + step - 1) / step;
    const long outHeight = (source.height() + step - 1) / step;
    return makeImage(outWidth, outHeight, [&](long i, long j) {
        const long cx = std::min(i * step + (step - 1) / 2, source.width() - 1);
        const long cy = std::min(j * step + (step - 1) / 2, source.height() - 1);
        std::uint64_t sum = 0;
        for (long b = 0; b <= 2 * smoothness; ++b)
            for (long a = 0; a <= 2 * smoothness; ++a)
                sum += w[static_cast<std::size_t>(a)] * w[static_cast<std::size_t>(b)] *
                       static_cast<std::uint64_t>(at(source, cx + a - smoothness, cy + b - smoothness));
        if (gain == 1.0) return static_cast<int>((sum + total / 2) / total);
        return static_cast<int>(std::clamp(std::floor(gain * (double(sum) / double(total)) + 0.5), 0.0, 255.0));
    });
}

Image gauss(const ConstImage& source, long step, long smoothness, double gain = 1.0) {
    kcGaussSampleParams params(1, 2, gain, true);
    params.sample(step);
    params.smoothness(smoothness);
    return kfGaussSample<unsigned char>(source, params);
}

Image erode(const ConstImage& source, const std::vector<kcGMorph3x3Element>& elements) {
    Image result;
    kcGMorphElement(elements).erode(source, result);
    return result;
}

const std::vector<kcGMorph3x3Element> kSquare{kcGMorph3x3Element(kcGMorphDefs::eSquare3x3)};
const std::vector<kcGMorph3x3Element> kCross{kcGMorph3x3Element(kcGMorphDefs::eCross3x3)};

Image referenceErode(const ConstImage& source, kcGMorphDefs::ElementType type) {
    return makeImage(source.width(), source.height(), [&](long x, long y) {
        int m = 255;
        for (long dy = -1; dy <= 1; ++dy)
            for (long dx = -1; dx <= 1; ++dx)
                if (type == kcGMorphDefs::eSquare3x3 || dx == 0 || dy == 0) m = std::min(m, at(source, x + dx, y + dy));
        return m;
    });
}

struct Hsi {
    int hue, saturation, intensity;
};

// Hexagonal hue, saturation and intensity in double precision.
Hsi referenceHsi(int r, int g, int b) {
    const int mx = std::max({r, g, b});
    const int mn = std::min({r, g, b});
    const int sum = r + g + b;
    Hsi out{0, 0, static_cast<int>(std::floor(sum / 3.0 + 0.5))};
    if (mx == mn) return out;
    const double c = mx - mn;
    double sector = mx == r ? (g - b) / c : mx == g ? 2.0 + (b - r) / c : 4.0 + (r - g) / c;
    if (sector < 0.0) sector += 6.0;
    out.hue = static_cast<int>(std::floor(sector * 256.0 / 6.0 + 0.5)) % 256;
    out.saturation = static_cast<int>(std::floor(255.0 * (sum - 3.0 * mn) / sum + 0.5));
    return out;
}

kc3PlanePelBuffer rgbImage(long width, long height, const std::function<Hsi(long, long)>& rgb) {
    kc3PlanePelBuffer image(width, height);
    Image r = image.plane0(), g = image.plane1(), b = image.plane2();
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            const Hsi p = rgb(x, y);
            r.pointToRow(y)[x] = static_cast<unsigned char>(p.hue);
            g.pointToRow(y)[x] = static_cast<unsigned char>(p.saturation);
            b.pointToRow(y)[x] = static_cast<unsigned char>(p.intensity);
        }
    return image;
}

}  // namespace

TEST(GaussSample, OutputSizeIsTheWindowSizeOverTheFactorRoundedUp) {
    struct Case {
        long w, h, s, outW, outH;
    };
    for (const Case& c :
         {Case{640, 480, 5, 128, 96}, Case{641, 484, 5, 129, 97}, Case{3, 2, 5, 1, 1}, Case{7, 3, 1, 7, 3},
          Case{2448, 2048, 5, 490, 410}, Case{10, 10, 3, 4, 4}, Case{0, 4, 3, 0, 2}}) {
        const Image out = gauss(Image(c.w, c.h), c.s, 4);
        EXPECT_TRUE(out.isBound());
        EXPECT_EQ(out.width(), c.outW) << c.w << " / " << c.s;
        EXPECT_EQ(out.height(), c.outH) << c.h << " / " << c.s;
    }
}

TEST(GaussSample, MatchesThePlainTwoDimensionalSumBitExactly) {
    unsigned seed = 1;
    for (const auto& [w, h] : {std::pair{1L, 1L}, {2L, 3L}, {5L, 5L}, {17L, 9L}, {67L, 13L}, {150L, 41L}}) {
        for (long s : {1L, 2L, 3L, 5L, 7L}) {
            for (long n = 0; n <= 8; ++n) {
                const Image source = randomImage(w, h, seed++);
                expectSameImage(gauss(source, s, n), referenceGauss(source, s, n, 1.0));
            }
        }
    }
    // A gain scales the exact value before the rounding and saturates.
    const Image source = randomImage(131, 37, 99);
    for (double gain : {0.0, 0.5, 0.73, 1.9, 4.0})
        for (long n : {0L, 2L, 4L, 8L}) expectSameImage(gauss(source, 5, n, gain), referenceGauss(source, 5, n, gain));
}

TEST(GaussSample, KeepsAFlatImageExactlyFlat) {
    for (int value : {0, 1, 77, 128, 254, 255})
        for (long n = 0; n <= 8; ++n) {
            const Image out = gauss(makeImage(203, 29, [value](long, long) { return value; }), 5, n);
            for (long y = 0; y < out.height(); ++y)
                for (long x = 0; x < out.width(); ++x) ASSERT_EQ(out.pointToRow(y)[x], value) << "smoothness " << n;
        }
}

TEST(GaussSample, SamplesOnlyTheWindowWithItsOwnBorderReplicated) {
    ConstImage source = randomImage(160, 90, 7);
    source.window(kcPelRect(13, 7, 101, 46));
    expectSameImage(gauss(source, 5, 4), gauss(copyOf(source), 5, 4));
    expectSameImage(gauss(source, 3, 2), referenceGauss(copyOf(source), 3, 2, 1.0));
}

TEST(GaussSample, RefusesBadParametersAndUnboundSources) {
    EXPECT_THROW(kcGaussSampleParams(0, 2, 1.0, true), kcBadArgument);
    EXPECT_THROW(kcGaussSampleParams(1, 9, 1.0, true), kcBadArgument);
    EXPECT_THROW(kcGaussSampleParams(1, 2, -1.0, true), kcBadArgument);
    EXPECT_THROW(kcGaussSampleParams(1, 2, std::nan(""), true), kcBadArgument);
    kcGaussSampleParams params(1, 2, 1.0, true);
    EXPECT_THROW(params.sample(0), kcBadArgument);
    EXPECT_THROW(params.smoothness(-1), kcBadArgument);
    EXPECT_EQ(params.sample(), 1);
    EXPECT_EQ(params.smoothness(), 2);
    EXPECT_THROW(kfGaussSample<unsigned char>(ConstImage(), params), kcUnboundBuffer);
}

TEST(GreyErosion, RemovesASingleHotPelAndKeepsTheCentreOfABlock) {
    Image image = makeImage(9, 7, [](long x, long y) { return x == 4 && y == 3 ? 250 : 40; });
    const Image eroded = erode(image, kSquare);
    for (long y = 0; y < 7; ++y)
        for (long x = 0; x < 9; ++x) EXPECT_EQ(eroded.pointToRow(y)[x], 40);

    // A 3x3 bright block keeps only its centre: every other pel of it has a
    // neighbour outside the block under either element.
    image = makeImage(9, 7, [](long x, long y) { return x >= 3 && x <= 5 && y >= 2 && y <= 4 ? 250 : 40; });
    const Image square = erode(image, kSquare);
    const Image cross = erode(image, kCross);
    for (long y = 0; y < 7; ++y)
        for (long x = 0; x < 9; ++x) {
            EXPECT_EQ(square.pointToRow(y)[x], x == 4 && y == 3 ? 250 : 40);
            EXPECT_EQ(cross.pointToRow(y)[x], x == 4 && y == 3 ? 250 : 40);
        }
}

TEST(GreyErosion, ReplicatesTheBorderAndMatchesThePlainMinimum) {
    // On a ramp rising right and down, the minimum lies up-left; at the
    // border the pel itself stands in for the missing neighbours.
    const Image ramp = makeImage(70, 6, [](long x, long y) { return x + 20 * y; });
    const Image eroded = erode(ramp, kSquare);
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 70; ++x)
            ASSERT_EQ(eroded.pointToRow(y)[x], std::max(x - 1, 0L) + 20 * std::max(y - 1, 0L));

    for (const auto& [w, h] : {std::pair{1L, 1L}, {1L, 5L}, {6L, 1L}, {2L, 2L}, {131L, 17L}, {200L, 3L}}) {
        const Image source = randomImage(w, h, static_cast<unsigned>(w * 1000 + h));
        expectSameImage(erode(source, kSquare), referenceErode(source, kcGMorphDefs::eSquare3x3));
        expectSameImage(erode(source, kCross), referenceErode(source, kcGMorphDefs::eCross3x3));
        // Elements apply one after the other.
        expectSameImage(
            erode(source, {kcGMorph3x3Element(kcGMorphDefs::eSquare3x3), kcGMorph3x3Element(kcGMorphDefs::eCross3x3)}),
            referenceErode(referenceErode(source, kcGMorphDefs::eSquare3x3), kcGMorphDefs::eCross3x3));
    }
}

TEST(GreyErosion, KeepsAFlatImageAndWorksOnTheWindowOnly) {
    const Image flat = makeImage(77, 5, [](long, long) { return 201; });
    expectSameImage(erode(flat, kSquare), flat);

    ConstImage source = randomImage(150, 60, 3);
    source.window(kcPelRect(9, 11, 97, 31));
    const Image eroded = erode(source, kSquare);
    EXPECT_EQ(eroded.window(), kcPelRect(0, 0, 97, 31));
    expectSameImage(eroded, erode(copyOf(source), kSquare));
    // No element at all: a plain copy of the window.
    expectSameImage(erode(source, {}), copyOf(source));

    // The destination may be the source itself.
    Image inPlace = randomImage(40, 8, 5);
    const Image expected = referenceErode(inPlace, kcGMorphDefs::eSquare3x3);
    kcGMorphElement(kSquare).erode(inPlace, inPlace);
    expectSameImage(inPlace, expected);

    Image out;
    EXPECT_THROW(kcGMorphElement(kSquare).erode(ConstImage(), out), kcUnboundBuffer);
}

TEST(ColorConversion, GivesThePrimariesTheirHues) {
    const kc3PlanePelBuffer rgb = rgbImage(4, 1, [](long x, long) {
        const Hsi pels[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
        return pels[x];
    });
    kc3PlanePelBuffer hsi;
    kfPelRGBToHSI(rgb, hsi);
    const int hues[] = {0, 85, 171, 43};
    for (long x = 0; x < 4; ++x) {
        EXPECT_EQ(hsi.plane0().pointToRow(0)[x], hues[x]);
        EXPECT_EQ(hsi.plane1().pointToRow(0)[x], 255);
        EXPECT_EQ(hsi.plane2().pointToRow(0)[x], x < 3 ? 85 : 170);
    }
}

TEST(ColorConversion, GivesGreyHueAndSaturationZeroAtEveryIntensity) {
    const kc3PlanePelBuffer rgb = rgbImage(256, 1, [](long x, long) { return Hsi{int(x), int(x), int(x)}; });
    kc3PlanePelBuffer hsi;
    kfPelRGBToHSI(rgb, hsi);
    for (long x = 0; x < 256; ++x) {
        EXPECT_EQ(hsi.plane0().pointToRow(0)[x], 0);
        EXPECT_EQ(hsi.plane1().pointToRow(0)[x], 0);
        EXPECT_EQ(hsi.plane2().pointToRow(0)[x], x);
    }
}

TEST(ColorConversion, MatchesDoublePrecisionOnEveryRgbTriple) {
    // 4096 x 4096 pels hold every (r, g, b) once.
    const auto triple = [](long x, long y) {
        const long i = y * 4096 + x;
        return Hsi{int(i >> 16), int((i >> 8) & 0xff), int(i & 0xff)};
    };
    const kc3PlanePelBuffer rgb = rgbImage(4096, 4096, triple);
    kc3PlanePelBuffer hsi;
    kfPelRGBToHSI(rgb, hsi);
    Image intensity;
    kfPelRGBToI(rgb, intensity);
    for (long y = 0; y < 4096; ++y) {
        const unsigned char* h = hsi.plane0().pointToRow(y);
        const unsigned char* s = hsi.plane1().pointToRow(y);
        const unsigned char* i = hsi.plane2().pointToRow(y);
        const unsigned char* i2 = intensity.pointToRow(y);
        for (long x = 0; x < 4096; ++x) {
            const Hsi p = triple(x, y);
            const Hsi expected = referenceHsi(p.hue, p.saturation, p.intensity);
            ASSERT_EQ(h[x], expected.hue) << p.hue << " " << p.saturation << " " << p.intensity;
            ASSERT_EQ(s[x], expected.saturation) << p.hue << " " << p.saturation << " " << p.intensity;
            ASSERT_EQ(i[x], expected.intensity) << p.hue << " " << p.saturation << " " << p.intensity;
            ASSERT_EQ(i2[x], expected.intensity);
        }
    }
}

TEST(ColorConversion, ConvertsTheWindowOnly) {
    std::mt19937 random(11);
    kc3PlanePelBuffer rgb = rgbImage(120, 40, [&random](long, long) {
        return Hsi{int(random() & 0xff), int(random() & 0xff), int(random() & 0xff)};
    });
    rgb.window(kcPelRect(5, 3, 83, 29));
    const kc3PlanePelBuffer copy(copyOf(rgb.plane0()), copyOf(rgb.plane1()), copyOf(rgb.plane2()));
    kc3PlanePelBuffer a, b;
    kfPelRGBToHSI(rgb, a);
    kfPelRGBToHSI(copy, b);
    for (int p = 0; p < 3; ++p) expectSameImage(a.plane(p), b.plane(p));
    Image ia, ib;
    kfPelRGBToI(rgb, ia);
    kfPelRGBToI(copy, ib);
    expectSameImage(ia, ib);
    EXPECT_THROW(kfPelRGBToI(kc3PlanePelBuffer(), ia), kcUnboundBuffer);
    EXPECT_THROW(kfPelRGBToHSI(kc3PlanePelBuffer(), a), kcUnboundBuffer);
}
