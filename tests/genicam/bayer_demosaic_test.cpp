// tests/genicam/bayer_demosaic_test.cpp
// Demosaicing of the four 8-bit Bayer patterns and unpacking of RGB8.
#include "toolkit/acq/genicam/bayer_demosaic.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {
constexpr long kWidth = 7;  // odd sizes put both colours of a cell on the far edges
constexpr long kHeight = 5;
constexpr long kRowBytes = 9;  // rows padded beyond the width

// Colour index (0 red, 1 green, 2 blue) of pel (x, y) under a pattern.
int siteColour(keBayerPattern pattern, long x, long y) {
    static constexpr int kCells[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {1, 2, 0, 1}, {2, 1, 1, 0}};
    return kCells[pattern][(y & 1) * 2 + (x & 1)];
}

// Samples an RGB image given per pel by `colour` through a Bayer filter.
template <class F>
std::vector<unsigned char> mosaic(keBayerPattern pattern, F colour) {
    std::vector<unsigned char> raw(static_cast<std::size_t>(kRowBytes * kHeight), 0xEE);
    for (long y = 0; y < kHeight; ++y)
        for (long x = 0; x < kWidth; ++x)
            raw[static_cast<std::size_t>(y * kRowBytes + x)] = colour(x, y)[siteColour(pattern, x, y)];
    return raw;
}

unsigned char pel(const kc3PlanePelBuffer& image, int plane, long x, long y) {
    return image.plane(plane).pointToRow(y)[x];
}
}  // namespace

TEST(BayerDemosaic, RecoversAFlatColourEverywhereUnderEachPattern) {
    const std::array<unsigned char, 3> colour = {200, 90, 30};
    for (keBayerPattern pattern : {keBayerRG8, keBayerGR8, keBayerGB8, keBayerBG8}) {
        const std::vector<unsigned char> raw = mosaic(pattern, [&](long, long) { return colour; });
        const kc3PlanePelBuffer image = kfDemosaicBayer8(raw.data(), kWidth, kHeight, kRowBytes, pattern);
        ASSERT_EQ(image.width(), kWidth);
        ASSERT_EQ(image.height(), kHeight);
        for (long y = 0; y < kHeight; ++y)
            for (long x = 0; x < kWidth; ++x)
                for (int p = 0; p < 3; ++p)
                    ASSERT_EQ(pel(image, p, x, y), colour[static_cast<std::size_t>(p)])
                        << "pattern " << pattern << " plane " << p << " at " << x << "," << y;
    }
}

TEST(BayerDemosaic, KeepsSampledPelsAndInterpolatesRampsLinearly) {
    // Red rises to the right, blue downwards, green is flat: the bilinear
    // means are exact away from the edges, and every sampled pel is kept.
    const auto colour = [](long x, long y) {
        return std::array<unsigned char, 3>{static_cast<unsigned char>(10 + 20 * x), 128,
                                            static_cast<unsigned char>(5 + 30 * y)};
    };
    const std::vector<unsigned char> raw = mosaic(keBayerGR8, colour);
    const kc3PlanePelBuffer image = kfDemosaicBayer8(raw.data(), kWidth, kHeight, kRowBytes, keBayerGR8);
    for (long y = 0; y < kHeight; ++y)
        for (long x = 0; x < kWidth; ++x) {
            const int site = siteColour(keBayerGR8, x, y);
            EXPECT_EQ(pel(image, site, x, y), colour(x, y)[static_cast<std::size_t>(site)]);
            EXPECT_EQ(pel(image, 1, x, y), 128);
            if (x > 0 && x < kWidth - 1) {
                EXPECT_EQ(pel(image, 0, x, y), colour(x, y)[0]) << x << "," << y;
            }
            if (y > 0 && y < kHeight - 1) {
                EXPECT_EQ(pel(image, 2, x, y), colour(x, y)[2]) << x << "," << y;
            }
        }
}

TEST(BayerDemosaic, RefusesImagesSmallerThanACellAndShortRows) {
    const std::vector<unsigned char> raw(16, 0);
    EXPECT_THROW(kfDemosaicBayer8(raw.data(), 1, 4, 4, keBayerRG8), kcBadArgument);
    EXPECT_THROW(kfDemosaicBayer8(raw.data(), 4, 4, 3, keBayerRG8), kcBadArgument);
    EXPECT_THROW(kfDemosaicBayer8(nullptr, 4, 4, 4, keBayerRG8), kcBadPointer);
}

TEST(Rgb8Unpacking, SplitsPackedPelsIntoPlanesAndSkipsRowPadding) {
    const std::vector<unsigned char> raw = {1, 2, 3, 4, 5, 6, 99, 7, 8, 9, 10, 11, 12, 99};
    const kc3PlanePelBuffer image = kfUnpackRgb8(raw.data(), 2, 2, 7);
    EXPECT_EQ(pel(image, 0, 0, 0), 1);
    EXPECT_EQ(pel(image, 1, 1, 0), 5);
    EXPECT_EQ(pel(image, 2, 1, 0), 6);
    EXPECT_EQ(pel(image, 0, 0, 1), 7);
    EXPECT_EQ(pel(image, 2, 1, 1), 12);
}
