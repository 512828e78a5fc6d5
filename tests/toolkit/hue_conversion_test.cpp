// tests/toolkit/hue_conversion_test.cpp
#include <gtest/gtest.h>

#include <cstring>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/imgproc/color_conversion.h"

namespace {
// Every RGB triple once: 4096 x 4096 pels, red varying fastest. Under the
// sanitizers every 16th row only.
constexpr long kSide = 4096;
#ifdef CLBL_SANITIZED
constexpr long kRowStep = 16;
#else
constexpr long kRowStep = 1;
#endif
}  // namespace

TEST(HueConversion, GivesExactlyTheHuePlaneOfTheFullConversionForEveryRgbTriple) {
    const long rows = kSide / kRowStep;
    kc3PlanePelBuffer rgb(kSide, rows);
    for (long i = 0; i < rows; ++i) {
        const long y = i * kRowStep;
        for (long x = 0; x < kSide; ++x) {
            const long n = y * kSide + x;
            rgb.plane0().pointToRow(i)[x] = static_cast<unsigned char>(n & 0xff);
            rgb.plane1().pointToRow(i)[x] = static_cast<unsigned char>((n >> 8) & 0xff);
            rgb.plane2().pointToRow(i)[x] = static_cast<unsigned char>(n >> 16);
        }
    }
    kc3PlanePelBuffer hsi;
    kfPelRGBToHSI(rgb, hsi);
    kcPelBuffer<unsigned char> hue;
    kfPelRGBToHue(rgb, hue);
    ASSERT_EQ(hue.width(), kSide);
    ASSERT_EQ(hue.height(), rows);
    long mismatches = 0;
    for (long i = 0; i < rows; ++i)
        mismatches += std::memcmp(hue.pointToRow(i), hsi.plane0().pointToRow(i), kSide) != 0;
    EXPECT_EQ(mismatches, 0);

    // The row form over a window that starts off the origin, with a width
    // that is no multiple of any vector length.
    kc3PlanePelBuffer window = rgb;
    window.window(kcPelRect(3, 5, 131, 7));
    unsigned char row[131];
    for (long i = 0; i < 7; ++i) {
        kfRGBRowToHue(window.plane0().pointToRow(5 + i), window.plane1().pointToRow(5 + i),
                      window.plane2().pointToRow(5 + i), row, 131);
        EXPECT_EQ(std::memcmp(row, hsi.plane0().pointToRow(5 + i) + 3, 131), 0) << i;
    }
    EXPECT_THROW(kfPelRGBToHue(kc3PlanePelBuffer(), hue), kcUnboundBuffer);
}
