// tests/toolkit/foundation_test.cpp
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/histo_stats.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/ptr_handle.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

struct Base {
    virtual ~Base() = default;
    int value = 1;
};

struct Derived : Base {
    explicit Derived(int& deletions) : deletions_(deletions) {}
    ~Derived() override { ++deletions_; }
    int& deletions_;
};

// Pel (x, y) of the stored image set to x + 10 * y.
kcPelBuffer<unsigned char> numbered(long width, long height) {
    kcPelBuffer<unsigned char> image(width, height);
    for (long y = 0; y < height; ++y) {
        unsigned char* row = image.pointToRow(y);
        for (long x = 0; x < width; ++x) row[x] = static_cast<unsigned char>(x + 10 * y);
    }
    return image;
}

}  // namespace

TEST(HistoStats, EmptyHistogramIsAllZeroAndSDevDividesByTheSampleCount) {
    const kcHistoStats empty(std::vector<unsigned long>(256, 0), false);
    EXPECT_EQ(empty.sampleCount(), 0u);
    EXPECT_EQ(empty.mean(), 0.0);
    EXPECT_EQ(empty.sDev(), 0.0);
    EXPECT_EQ(empty.histMax(), 0);

    std::vector<unsigned long> h(256, 0);
    h[1] = 2;
    h[3] = 2;
    const kcHistoStats stats(h, false);
    EXPECT_EQ(stats.sampleCount(), 4u);
    EXPECT_DOUBLE_EQ(stats.mean(), 2.0);
    EXPECT_DOUBLE_EQ(stats.sDev(), 1.0);  // sqrt(4 / 4), not sqrt(4 / 3)
    EXPECT_EQ(stats.histMax(), 3);
    EXPECT_EQ(stats.histMin(), 1);
}

TEST(PelHistogram, CountsOnlyThePelsOfAWindowAwayFromTheOrigin) {
    kcPelBuffer<unsigned char> image = numbered(8, 6);
    image.window(kcPelRect(2, 3, 3, 2));  // columns 2..4, rows 3..4
    std::vector<unsigned long> h;
    kfPelHistogram(kcPelBuffer_const<unsigned char>(image), h);
    ASSERT_EQ(h.size(), 256u);
    unsigned long total = 0;
    for (unsigned long c : h) total += c;
    EXPECT_EQ(total, 6u);
    for (int level : {32, 33, 34, 42, 43, 44}) EXPECT_EQ(h[static_cast<std::size_t>(level)], 1u) << level;
    EXPECT_EQ(h[0], 0u);

    std::vector<unsigned long> unused;
    EXPECT_THROW(kfPelHistogram(kcPelBuffer_const<unsigned char>(), unused), kcUnboundBuffer);
}

TEST(PtrHandle, SharesOneCountAndDeletesWithTheLastHandle) {
    int deletions = 0;
    {
        kcPtrHandle<Derived> first(new Derived(deletions));
        EXPECT_EQ(first.useCount(), 1);
        {
            kcPtrHandle<Derived> second = first;
            kcPtrHandle<Base> asBase = second;  // derived-to-base shares the same count
            EXPECT_EQ(first.useCount(), 3);
            asBase->value = 9;
            EXPECT_EQ(first->value, 9);
        }
        EXPECT_EQ(first.useCount(), 1);
        EXPECT_EQ(deletions, 0);

        // The last handle being a base handle still deletes the derived object.
        kcPtrHandle<Base> last = first;
        first = kcPtrHandle<Derived>();
        EXPECT_EQ(deletions, 0);
        last = kcPtrHandle<Base>();
        EXPECT_EQ(deletions, 1);
    }
    EXPECT_EQ(deletions, 1);

    kcPtrHandle<Base> empty;
    EXPECT_EQ(empty.useCount(), 0);
    EXPECT_THROW(*empty, kcBadPointer);
    EXPECT_THROW(empty->value++, kcBadPointer);
}

TEST(PelBuffer, PointToRowGivesTheWindowsFirstPelAndRefusesRowsOutsideIt) {
    kcPelBuffer<unsigned char> image = numbered(10, 6);
    kcPelBuffer<unsigned char> view = image;  // shares the pels
    view.window(kcPelRect(2, 1, 5, 3));
    EXPECT_EQ(view.window().bottom(), 4);
    EXPECT_EQ(view.pointToRow(1)[0], 12);
    EXPECT_EQ(view.pointToRow(3)[4], 36);
    view.pointToRow(2)[0] = 200;
    EXPECT_EQ(image.pointToRow(2)[2], 200);
    EXPECT_EQ(image.window(), kcPelRect(0, 0, 10, 6));  // the copy's window is its own

    EXPECT_THROW(view.pointToRow(0), kcBadArgument);
    EXPECT_THROW(view.pointToRow(4), kcBadArgument);
    EXPECT_THROW(view.window(kcPelRect(6, 0, 5, 1)), kcBadArgument);
    EXPECT_THROW(view.window(kcPelRect(-1, 0, 1, 1)), kcBadArgument);
    EXPECT_EQ(view.window(), kcPelRect(2, 1, 5, 3));

    const kcPelBuffer<unsigned char> unbound;
    EXPECT_FALSE(unbound.isBound());
    EXPECT_THROW(unbound.pointToRow(0), kcUnboundBuffer);
    EXPECT_THROW(kcPelBuffer<unsigned char>(-1, 4), kcBadArgument);
}

TEST(ThreePlanePelBuffer, SharesItsPlanesPelsAndRefusesPlanesOfDifferentSizes) {
    kcPelBuffer<unsigned char> red(4, 3), green(4, 3), blue(4, 3);
    kc3PlanePelBuffer colour(red, green, blue);
    kc3PlanePelBuffer copy = colour;
    copy.plane1().pointToRow(2)[3] = 77;
    EXPECT_EQ(green.pointToRow(2)[3], 77);
    EXPECT_EQ(colour.plane1().pointToRow(2)[3], 77);
    EXPECT_EQ(colour.plane0().pointToRow(2)[3], 0);

    kcPelBuffer<unsigned char> small(3, 3);
    EXPECT_THROW(kc3PlanePelBuffer(red, small, blue), kcBadArgument);
    EXPECT_THROW(kc3PlanePelBuffer(red, green, kcPelBuffer<unsigned char>()), kcBadArgument);
    EXPECT_THROW(colour.plane(3), kcBadArgument);

    // A window of the same size over a larger plane is accepted.
    kcPelBuffer<unsigned char> large(9, 9);
    large.window(kcPelRect(5, 5, 4, 3));
    EXPECT_NO_THROW(kc3PlanePelBuffer(red, green, large));
    EXPECT_FALSE(kc3PlanePelBuffer().isBound());
}
