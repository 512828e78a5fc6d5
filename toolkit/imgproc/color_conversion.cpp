// toolkit/imgproc/color_conversion.cpp
#include "toolkit/imgproc/color_conversion.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr long kChunk = 64;            // pels per inner loop: a constant trip count lets -O2 vectorise it
constexpr std::uint32_t kHueSteps = 256;  // hue steps per turn
constexpr std::uint32_t kSectors = 6;     // sectors of the hexagonal hue, one per primary or secondary
constexpr std::uint32_t kMaxPel = 255;
constexpr long kMaxSum = 3 * kMaxPel;  // largest R + G + B
// floor(n / 3) = (n x kThirdMultiplier) >> 16 for every n below 32768.
constexpr std::uint32_t kThirdMultiplier = 21846;
// floor(n / d) = (n x ceil(2^32 / d)) >> 32 holds exactly for every
// n < 2^19 and d < 2^11: the error n x (m d - 2^32) / (d 2^32) stays below 1/d.
constexpr int kReciprocalShift = 32;

constexpr std::uint32_t reciprocal(std::uint64_t divisor) {
    return static_cast<std::uint32_t>(((std::uint64_t(1) << kReciprocalShift) + divisor - 1) / divisor);
}

// Reciprocals of 6 x chroma (chroma = max - min, 1..255) for the hue and of
// 2 x (R + G + B) for the saturation; entry 0 is 0, which makes grey and
// black come out as hue 0 and saturation 0 without a branch.
struct ReciprocalTables {
    std::array<std::uint32_t, kMaxPel + 1> hue{};
    std::array<std::uint32_t, kMaxSum + 1> saturation{};
    constexpr ReciprocalTables() {
        for (std::uint32_t c = 1; c <= kMaxPel; ++c) hue[c] = reciprocal(kSectors * c);
        for (std::uint32_t s = 1; s <= kMaxSum; ++s) saturation[s] = reciprocal(2 * s);
    }
};
constexpr ReciprocalTables kReciprocals;

std::uint32_t divideBy(std::uint32_t numerator, std::uint32_t reciprocalOfDivisor) {
    return static_cast<std::uint32_t>((std::uint64_t(numerator) * reciprocalOfDivisor) >> kReciprocalShift);
}

// (r + g + b) / 3 rounded to nearest: the sum is never a half away from a
// multiple of 3, so this is floor((sum + 1) / 3).
void intensityRow(const unsigned char* __restrict r, const unsigned char* __restrict g,
                  const unsigned char* __restrict b, unsigned char* __restrict out, long width) {
    const auto at = [=](long x) {
        return static_cast<unsigned char>(((std::uint32_t(r[x]) + g[x] + b[x] + 1u) * kThirdMultiplier) >> 16);
    };
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) out[x + j] = at(x + j);
    for (; x < width; ++x) out[x] = at(x);
}

// Hue and saturation of one row.
//   hue: position h6 on the hexagon in units of chroma c (0 at red, 2c at
//   green, 4c at blue, within [0, 6c)), scaled to 256 steps per turn:
//   floor((256 h6 + 3c) / 6c) mod 256. No exact half occurs, as 6c would
//   have to hold the factor 2^8.
//   saturation: 255 (1 - min / mean) = 255 (sum - 3 min) / sum, rounded
//   with halves up: floor((510 (sum - 3 min) + sum) / (2 sum)).
void hueSaturationRow(const unsigned char* __restrict r, const unsigned char* __restrict g,
                      const unsigned char* __restrict b, unsigned char* __restrict hue,
                      unsigned char* __restrict saturation, long width) {
    for (long x = 0; x < width; ++x) {
        const std::int32_t red = r[x], green = g[x], blue = b[x];
        const std::int32_t mx = std::max(std::max(red, green), blue);
        const std::int32_t mn = std::min(std::min(red, green), blue);
        const std::int32_t chroma = mx - mn;
        std::int32_t h6 = mx == red ? green - blue : mx == green ? 2 * chroma + blue - red : 4 * chroma + red - green;
        h6 += h6 < 0 ? std::int32_t(kSectors) * chroma : 0;
        const std::uint32_t hueNumerator = kHueSteps * std::uint32_t(h6) + 3u * std::uint32_t(chroma);
        hue[x] = static_cast<unsigned char>(divideBy(hueNumerator, kReciprocals.hue[std::size_t(chroma)]) %
                                            kHueSteps);

        const std::uint32_t sum = std::uint32_t(red + green + blue);
        const std::uint32_t satNumerator = 2 * kMaxPel * (sum - 3u * std::uint32_t(mn)) + sum;
        saturation[x] = static_cast<unsigned char>(divideBy(satNumerator, kReciprocals.saturation[sum]));
    }
}

}  // namespace

void kfPelRGBToHSI(const kc3PlanePelBuffer& source, kc3PlanePelBuffer& destination) {
    if (!source.isBound()) throw kcUnboundBuffer(L"RGB to HSI conversion of an unbound image");
    const long width = source.width();
    const long height = source.height();
    kc3PlanePelBuffer result(width, height);
    kcPelBuffer<unsigned char> hue = result.plane0();
    kcPelBuffer<unsigned char> saturation = result.plane1();
    kcPelBuffer<unsigned char> intensity = result.plane2();
    const kcPelBuffer<unsigned char>& r = source.plane(0);
    const kcPelBuffer<unsigned char>& g = source.plane(1);
    const kcPelBuffer<unsigned char>& b = source.plane(2);
    if (width > 0) {
        for (long y = 0; y < height; ++y) {
            // The planes have windows of one size, not necessarily at one place.
            const unsigned char* rr = r.pointToRow(r.window().top() + y);
            const unsigned char* gg = g.pointToRow(g.window().top() + y);
            const unsigned char* bb = b.pointToRow(b.window().top() + y);
            hueSaturationRow(rr, gg, bb, hue.pointToRow(y), saturation.pointToRow(y), width);
            intensityRow(rr, gg, bb, intensity.pointToRow(y), width);
        }
    }
    destination = result;
}

void kfPelRGBToI(const kc3PlanePelBuffer& source, kcPelBuffer<unsigned char>& destination) {
    if (!source.isBound()) throw kcUnboundBuffer(L"RGB to intensity conversion of an unbound image");
    const long width = source.width();
    const long height = source.height();
    kcPelBuffer<unsigned char> result(width, height);
    const kcPelBuffer<unsigned char>& r = source.plane(0);
    const kcPelBuffer<unsigned char>& g = source.plane(1);
    const kcPelBuffer<unsigned char>& b = source.plane(2);
    if (width > 0) {
        for (long y = 0; y < height; ++y)
            intensityRow(r.pointToRow(r.window().top() + y), g.pointToRow(g.window().top() + y),
                         b.pointToRow(b.window().top() + y), result.pointToRow(y), width);
    }
    destination = result;
}
