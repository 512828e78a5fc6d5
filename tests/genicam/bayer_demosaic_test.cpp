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

unsigned char pel(const kc3PlanePelBuffer& image, int plane, long x, long y) {
    return image.plane(plane).pointToRow(y)[x];
}
}  // namespace

TEST(BayerDemosaic, KeepsSampledPelsAndRecoversFlatColoursAndRampsUnderEachPattern) {
    // Colour index (0 red, 1 green, 2 blue) of each site of a 2x2 cell.
    constexpr int kCells[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {1, 2, 0, 1}, {2, 1, 1, 0}};
    // A flat colour is recovered everywhere. On the ramp (red rising to the
    // right, blue downwards, green flat) the bilinear means are exact away
    // from the edges across the ramp, and every sampled pel is kept.
    for (const bool ramp : {false, true}) {
        const auto colour = [ramp](long x, long y) {
            return ramp ? std::array<int, 3>{static_cast<int>(10 + 20 * x), 128, static_cast<int>(5 + 30 * y)}
                        : std::array<int, 3>{200, 90, 30};
        };
        for (keBayerPattern pattern : {keBayerRG8, keBayerGR8, keBayerGB8, keBayerBG8}) {
            const auto site = [&](long x, long y) { return kCells[pattern][(y & 1) * 2 + (x & 1)]; };
            std::vector<unsigned char> raw(static_cast<std::size_t>(kRowBytes * kHeight), 0xEE);
            for (long y = 0; y < kHeight; ++y)
                for (long x = 0; x < kWidth; ++x)
                    raw[static_cast<std::size_t>(y * kRowBytes + x)] =
                        static_cast<unsigned char>(colour(x, y)[static_cast<std::size_t>(site(x, y))]);
            const kc3PlanePelBuffer image = kfDemosaicBayer8(raw.data(), kWidth, kHeight, kRowBytes, pattern);
            ASSERT_EQ(std::pair(image.width(), image.height()), std::pair(kWidth, kHeight));
            for (long y = 0; y < kHeight; ++y)
                for (long x = 0; x < kWidth; ++x)
                    for (int p = 0; p < 3; ++p) {
                        const bool inside = p == 0 ? x > 0 && x < kWidth - 1 : y > 0 && y < kHeight - 1;
                        if (ramp && p != 1 && p != site(x, y) && !inside) continue;
                        ASSERT_EQ(pel(image, p, x, y), colour(x, y)[static_cast<std::size_t>(p)])
                            << "ramp " << ramp << " pattern " << pattern << " plane " << p << " at " << x << "," << y;
                    }
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
    for (int i = 0; i < 12; ++i) EXPECT_EQ(pel(image, i % 3, i / 3 % 2, i / 6), i + 1) << i;
}
