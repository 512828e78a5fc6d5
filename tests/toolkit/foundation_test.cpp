// tests/toolkit/foundation_test.cpp
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/histo_stats.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/ptr_handle.h"
#include "toolkit/foundation/rounding.h"
#include "toolkit/foundation/text.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

struct Base {
    virtual ~Base() = default;
    int value = 1;
};

// Counts its deletions.
struct Derived : Base {
    explicit Derived(int& deletions) : deletions_(deletions) {}
    ~Derived() override { ++deletions_; }
    int& deletions_;
};

// Pel (x, y) of the stored image set to x + 10 * y.
kcPelBuffer<unsigned char> numbered(long width, long height) {
    kcPelBuffer<unsigned char> image(width, height);
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) image.pointToRow(y)[x] = static_cast<unsigned char>(x + 10 * y);
    return image;
}

}  // namespace

TEST(Rounding, IRoundRoundsHalvesAwayFromZeroSaturatesAndRealEqCountsTheToleranceAsEqual) {
    constexpr long kMax = std::numeric_limits<long>::max(), kMin = std::numeric_limits<long>::min();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(iRound(2.5f) == 3 && iRound(-2.5f) == -3 && iRound(1.4999f) == 1 && iRound(0.0) == 0);
    EXPECT_TRUE(iRound(std::nanf("")) == 0 && iRound(std::nan("")) == 0);
    EXPECT_TRUE(iRound(float(kInf)) == kMax && iRound(-kInf) == kMin && iRound(1e30) == kMax && iRound(-1e30f) == kMin);
    EXPECT_TRUE(kfRealEq(0.3, 0.3 + 1e-16, 1e-15) && kfRealEq(0.0, 1e-15, 1e-15));
    EXPECT_FALSE(kfRealEq(0.3, 0.3 + 1e-14, 1e-15) || kfRealEq(std::nan(""), 0.0, 1e-15));
}

TEST(HistoStats, EmptyHistogramIsAllZeroAndSDevDividesByTheSampleCount) {
    const kcHistoStats empty(std::vector<unsigned long>(256, 0), false);
    EXPECT_TRUE(empty.sampleCount() == 0u && empty.mean() == 0.0 && empty.sDev() == 0.0 && empty.histMax() == 0);

    // Levels 31..33 and 41..43, counted from a window away from the origin.
    kcPelBuffer<unsigned char> image = numbered(8, 6);
    image.window(kcPelRect(1, 3, 3, 2));  // columns 1..3, rows 3..4
    std::vector<unsigned long> h;
    kfPelHistogram(kcPelBuffer_const<unsigned char>(image), h);
    ASSERT_EQ(h.size(), 256u);
    EXPECT_EQ(h[31] + h[32] + h[33] + h[41] + h[42] + h[43], 6u);
    const kcHistoStats stats(h, false);
    EXPECT_EQ(stats.sampleCount(), 6u);
    EXPECT_DOUBLE_EQ(stats.mean(), 37.0);
    EXPECT_DOUBLE_EQ(stats.sDev(), std::sqrt(154.0 / 6.0));  // divided by 6, not 5
    EXPECT_TRUE(stats.histMin() == 31 && stats.histMax() == 43);
    EXPECT_THROW(kfPelHistogram(kcPelBuffer_const<unsigned char>(), h), kcUnboundBuffer);
}

TEST(PtrHandle, SharesOneCountAndDeletesWithTheLastHandleEvenABaseOne) {
    int deletions = 0;
    kcPtrHandle<Derived> first(new Derived(deletions));
    {
        kcPtrHandle<Base> asBase = first;
        asBase->value = 9;
        EXPECT_TRUE(first.useCount() == 2 && first->value == 9);
    }
    kcPtrHandle<Base> last = first;
    first = kcPtrHandle<Derived>();
    EXPECT_TRUE(deletions == 0 && last.useCount() == 1);
    last = kcPtrHandle<Base>();
    EXPECT_TRUE(deletions == 1 && last.useCount() == 0);
    EXPECT_THROW(*last, kcBadPointer);
    EXPECT_THROW(last->value++, kcBadPointer);
}

TEST(PelBuffer, WindowsSharePelsAndRowsOutsideTheWindowAreRefused) {
    kcPelBuffer<unsigned char> image = numbered(10, 6);
    kcPelBuffer<unsigned char> view = image;
    view.window(kcPelRect(2, 1, 5, 3));
    EXPECT_EQ(view.pointToRow(3)[4], 36);
    view.pointToRow(2)[0] = 200;
    EXPECT_EQ(image.pointToRow(2)[2], 200);
    EXPECT_EQ(image.window(), kcPelRect(0, 0, 10, 6));  // the copy's window is its own
    EXPECT_THROW(view.pointToRow(0), kcBadArgument);
    EXPECT_THROW(view.pointToRow(4), kcBadArgument);
    EXPECT_THROW(view.window(kcPelRect(6, 0, 5, 1)), kcBadArgument);
    EXPECT_EQ(view.window(), kcPelRect(2, 1, 5, 3));
    EXPECT_THROW(kcPelBuffer<unsigned char>().pointToRow(0), kcUnboundBuffer);
    EXPECT_THROW(kcPelBuffer<unsigned char>(-1, 4), kcBadArgument);

    // Three planes share their pels and must be of one size, windows included.
    kcPelBuffer<unsigned char> red(4, 3), green(4, 3), large(9, 9);
    kc3PlanePelBuffer colour(red, green, red);
    kc3PlanePelBuffer(colour).plane1().pointToRow(2)[3] = 77;
    EXPECT_EQ(green.pointToRow(2)[3], 77);
    EXPECT_THROW(kc3PlanePelBuffer(red, kcPelBuffer<unsigned char>(3, 3), red), kcBadArgument);
    EXPECT_THROW(colour.plane(3), kcBadArgument);
    large.window(kcPelRect(5, 5, 4, 3));
    EXPECT_NO_THROW(kc3PlanePelBuffer(red, green, large));
}

TEST(PelBuffer, NewImagesAreZeroedWithAlignedRowsWhetherFreshOrReusingMemory) {
    // Large images come fresh from the system, small ones from reused heap
    // memory; each is written over and freed before the next of its size.
    for (int round = 0; round < 2; ++round)
        for (const auto& [width, height] : {std::pair{1L, 1L}, {65L, 3L}, {2448L, 2048L}, {4000L, 3000L}}) {
            kcPelBuffer<unsigned char> image(width, height);
            for (long y : {0L, height / 2, height - 1}) {
                const unsigned char* row = image.pointToRow(y);
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(row) % 64, 0U) << width << " x " << height;
                EXPECT_EQ(std::count(row, row + width, 0), width) << width << " x " << height << " row " << y;
            }
            for (long y = 0; y < height; ++y) std::fill_n(image.pointToRow(y), width, 0xA5);
        }
}

TEST(Text, WidensUtf8ReplacingMalformedBytesAndEncodesCodePointsBack) {
    const struct {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"plain.ppm", L"plain.ppm"},
        {"gr\xc3\xbcn \xe2\x82\xac \xf0\x9f\x8e\xa8", L"gr\u00fcn \u20ac \U0001F3A8"},
        {"a\xff!", L"a\ufffd!"},                  // no lead byte
        {"\xc3", L"\ufffd"},                      // cut short
        {"\xc0\xaf", L"\ufffd\ufffd"},            // overlong
        {"\xed\xa0\x80", L"\ufffd\ufffd\ufffd"},  // a surrogate
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kfWiden(c.utf8), c.wide) << c.utf8;
        if (c.wide.find(L'\ufffd') == std::wstring::npos) {
            EXPECT_EQ(kfToUtf8(c.wide), c.utf8);
        }
    }
    EXPECT_EQ(kfToUtf8(std::wstring{L'x', static_cast<wchar_t>(-1), static_cast<wchar_t>(0xD800)}),
              "x\xef\xbf\xbd\xef\xbf\xbd");
}
