// fuzz/measurement_fuzz.cpp
// measureColorImage and countGoodPels on arbitrary small images, windows,
// companions and dark levels. Companions of the image's window size must
// measure without error and agree with a plain count of the window's pels;
// a companion walked alongside the image with another window size must give
// kcBadArgument; a saturation reference that only gives levels may have any
// size. Any other exception escapes and ends the run.
//
// Input: image size, window, dark level, flags, then pel bytes (cycled).
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "clbl/internal/color_measurement.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

constexpr long kMaxSide = 16;  // images up to 16 x 16 pels keep each run fast

// A broken promise: say which, then abort so the fuzzer keeps the input.
void fail(const char* what, int line) {
    std::fprintf(stderr, "%s:%d: %s\n", __FILE__, line, what);
    std::abort();
}
#define FUZZ_REQUIRE(condition) ((condition) ? static_cast<void>(0) : fail(#condition, __LINE__))

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t next() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Pel bytes: what is left of the input, cycled; zeros without any.
    std::uint8_t pel() {
        if (pelStart_ == 0) pelStart_ = pos_ + 1;
        if (size_ < pelStart_) return 0;
        const std::size_t n = size_ - (pelStart_ - 1);
        return data_[pelStart_ - 1 + (pelIndex_++ % n)];
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::size_t pelStart_ = 0;
    std::size_t pelIndex_ = 0;
};

// An image of rootWidth x rootHeight pels from the input, windowed to
// width x height at an offset taken from the input.
kc3PlanePelBuffer makeImage(Bytes& in, long width, long height, long extraWidth, long extraHeight) {
    const long rootWidth = width + extraWidth;
    const long rootHeight = height + extraHeight;
    kc3PlanePelBuffer image(rootWidth, rootHeight);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < rootHeight; ++y) {
            unsigned char* row = plane.pointToRow(y);
            for (long x = 0; x < rootWidth; ++x) row[x] = in.pel();
        }
    }
    const long left = extraWidth == 0 ? 0 : in.next() % (extraWidth + 1);
    const long top = extraHeight == 0 ? 0 : in.next() % (extraHeight + 1);
    image.window(kcPelRect(left, top, width, height));
    return image;
}

struct Counts {
    std::int32_t good = 0;
    std::int32_t dark = 0;
    std::int32_t bright = 0;
};

// The plain count of the window's pels against the given levels.
Counts countPlainly(const kc3PlanePelBuffer& image, const std::array<std::int32_t, 3>& levels, std::int32_t dark) {
    Counts c;
    const kcPelRect& w = image.window();
    for (long y = w.top(); y < w.bottom(); ++y)
        for (long x = 0; x < w.width(); ++x) {
            bool isDark = false;
            bool isBright = false;
            for (int p = 0; p < 3; ++p) {
                const int q = image.plane(p).pointToRow(y)[x];
                isDark = isDark || q < dark;
                isBright = isBright || q > levels[static_cast<std::size_t>(p)];
            }
            if (!isDark && !isBright) ++c.good;
            c.dark += isDark ? 1 : 0;
            c.bright += isBright ? 1 : 0;
        }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    const long width = in.next() % (kMaxSide + 1);
    const long height = in.next() % (kMaxSide + 1);
    const std::uint8_t flags = in.next();
    std::int32_t darkLevel = static_cast<std::int8_t>(in.next()) * 3;
    if ((flags & 0xC0) == 0x40) darkLevel = INT32_MIN;
    if ((flags & 0xC0) == 0x80) darkLevel = INT32_MAX;
    const bool withSaturation = (flags & 1) != 0;
    const bool withHue = (flags & 2) != 0;
    const bool repeatIsImage = (flags & 4) != 0;
    // Which companion, if any, gets a window of another size: 1 repeat,
    // 2 saturation reference, 3 hue reference.
    const int mismatched = (flags >> 3) & 3;
    const long extra = in.next() % 4;

    const kc3PlanePelBuffer image = makeImage(in, width, height, extra, extra);
    auto companion = [&](int which) {
        const long grow = (mismatched == which) ? 1 + in.next() % 3 : 0;
        const bool wider = (in.next() & 1) != 0;
        return makeImage(in, width + (wider ? grow : 0), height + (wider ? 0 : grow), in.next() % 3, in.next() % 3);
    };
    const kc3PlanePelBuffer repeat = repeatIsImage && mismatched != 1 ? image : companion(1);
    const kc3PlanePelBuffer saturation = withSaturation || mismatched == 2 ? companion(2) : kc3PlanePelBuffer();
    const kc3PlanePelBuffer hue = withHue || mismatched == 3 ? companion(3) : kc3PlanePelBuffer();

    if (mismatched != 0) {
        // Only companions walked alongside the image must have its size: a
        // saturation reference gives levels, and is walked only when it
        // stands in for a missing hue reference.
        const bool walked = mismatched != 2 || !hue.isBound();
        bool refused = false;
        try {
            measureColorImage(image, repeat, saturation, hue, darkLevel);
        } catch (const kcBadArgument&) {
            refused = true;
        }
        FUZZ_REQUIRE(refused == walked);
        if (mismatched == 2) static_cast<void>(countGoodPels(image, saturation, darkLevel));
        return 0;
    }

    const kcColorBalanceMeasurement m = measureColorImage(image, repeat, saturation, hue, darkLevel);
    const std::int32_t good = countGoodPels(image, saturation, darkLevel);
    for (std::int32_t level : m.saturationLevels)
        FUZZ_REQUIRE(withSaturation ? level >= 0 && level <= 249 : level == 239);
    const Counts plain = countPlainly(image, m.saturationLevels, darkLevel);
    FUZZ_REQUIRE(m.pelCount == width * height);
    FUZZ_REQUIRE(m.goodCount == plain.good && good == plain.good);
    FUZZ_REQUIRE(m.darkCount == plain.dark && m.brightCount == plain.bright);
    FUZZ_REQUIRE(m.goodCount + (plain.dark > plain.bright ? plain.dark : plain.bright) <= m.pelCount);
    // With the image as its own repeat every good pel is noise-free.
    if (repeatIsImage)
        for (const kcHistoStats& noise : m.noiseStats) FUZZ_REQUIRE(noise.sDev() == 0.0);
    // The comparison is total and never claims that a measurement beats
    // itself by count.
    static_cast<void>(isBetterMeasurement(m, m));
    return 0;
}
