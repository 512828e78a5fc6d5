// toolkit/imgproc/color_conversion.cpp
#include "toolkit/imgproc/color_conversion.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

constexpr long kChunk = 64;               // pels per inner loop: a constant trip count lets -O2 vectorise it
constexpr std::uint32_t kHueSteps = 256;  // hue steps per turn
constexpr std::uint32_t kSectors = 6;     // sectors of the hexagonal hue, one per primary or secondary
constexpr std::uint32_t kMaxPel = 255;
// floor(n / 3) = (n x kThirdMultiplier) >> 16 for every n below 32768.
constexpr std::uint32_t kThirdMultiplier = 21846;
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

// Hue and saturation of one pel (the compiler merges the common work).
//   hue: position h6 on the hexagon in units of chroma c = max - min (0 at
//   red, 2c at green, 4c at blue, within [0, 6c)), scaled to 256 steps per
//   turn: floor((256 h6 + 3c) / 6c) mod 256. No exact half occurs, as 6c
//   would have to hold the factor 2^8.
//   saturation: 255 (1 - min / mean) = 255 (sum - 3 min) / sum, rounded
//   with halves up: floor((510 (sum - 3 min) + sum) / (2 sum)).
// Both quotients have a numerator below 2^19 and a denominator d below 2^11,
// so they are exact in float and a quotient that is not an integer lies at
// least 1/d below the next one, far more than float's rounding error near
// 256: the truncated float quotient is the exact floor. Float division
// vectorises, where a table of reciprocals would not. A grey pel divides 0
// by 1.
inline unsigned char hueAt(std::int32_t red, std::int32_t green, std::int32_t blue) {
    // Plain selects of values, no branches, so that the row loop vectorises.
    const std::int32_t rg = red > green ? red : green;
    const std::int32_t mx = rg > blue ? rg : blue;
    const std::int32_t rgMin = red < green ? red : green;
    const std::int32_t mn = rgMin < blue ? rgMin : blue;
    const std::int32_t chroma = mx - mn;
    // The first plane holding the maximum decides the sector.
    std::int32_t h6 = 4 * chroma + red - green;
    h6 = mx == green ? 2 * chroma + blue - red : h6;
    h6 = mx == red ? green - blue : h6;
    h6 += h6 < 0 ? std::int32_t(kSectors) * chroma : 0;
    const float hueQuotient = static_cast<float>(std::int32_t(kHueSteps) * h6 + 3 * chroma) /
                              static_cast<float>(std::int32_t(kSectors) * chroma + std::int32_t(chroma == 0));
    return static_cast<unsigned char>(static_cast<std::int32_t>(hueQuotient) & std::int32_t(kHueSteps - 1));
}

inline unsigned char saturationAt(std::int32_t red, std::int32_t green, std::int32_t blue) {
    const std::int32_t rgMin = red < green ? red : green;
    const std::int32_t mn = rgMin < blue ? rgMin : blue;
    const std::int32_t sum = red + green + blue;
    const float satQuotient = static_cast<float>(2 * std::int32_t(kMaxPel) * (sum - 3 * mn) + sum) /
                              static_cast<float>(2 * sum + std::int32_t(sum == 0));
    return static_cast<unsigned char>(static_cast<std::int32_t>(satQuotient));
}

void hueSaturationRow(const unsigned char* __restrict r, const unsigned char* __restrict g,
                      const unsigned char* __restrict b, unsigned char* __restrict hue,
                      unsigned char* __restrict saturation, long width) {
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) {
            hue[x + j] = hueAt(r[x + j], g[x + j], b[x + j]);
            saturation[x + j] = saturationAt(r[x + j], g[x + j], b[x + j]);
        }
    for (; x < width; ++x) {
        hue[x] = hueAt(r[x], g[x], b[x]);
        saturation[x] = saturationAt(r[x], g[x], b[x]);
    }
}

// The hue alone. Cloned for AVX2, picked at load time on machines that
// have it: eight float quotients per instruction instead of four. IEEE
// division is exact in every width, so both give the same hues.
__attribute__((target_clones("avx2", "default"))) void hueRow(const unsigned char* __restrict r,
                                                              const unsigned char* __restrict g,
                                                              const unsigned char* __restrict b,
                                                              unsigned char* __restrict hue, long width) {
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) hue[x + j] = hueAt(r[x + j], g[x + j], b[x + j]);
    for (; x < width; ++x) hue[x] = hueAt(r[x], g[x], b[x]);
}

// Converts the three planes row by row into one new plane of the source
// window's size; the planes' windows have one size, not necessarily one place.
template <class RowConversion>
void convertToPlane(const kc3PlanePelBuffer& source, kcPelBuffer<unsigned char>& destination,
                    const wchar_t* unboundMessage, RowConversion convertRow) {
    if (!source.isBound()) throw kcUnboundBuffer(unboundMessage);
    const long width = source.width();
    const long height = source.height();
    kcPelBuffer<unsigned char> result(width, height);
    const kcPelBuffer<unsigned char>& r = source.plane(0);
    const kcPelBuffer<unsigned char>& g = source.plane(1);
    const kcPelBuffer<unsigned char>& b = source.plane(2);
    if (width > 0) {
        for (long y = 0; y < height; ++y)
            convertRow(r.pointToRow(r.window().top() + y), g.pointToRow(g.window().top() + y),
                       b.pointToRow(b.window().top() + y), result.pointToRow(y), width);
    }
    destination = result;
}

}  // namespace

void kfRGBRowToHue(const unsigned char* r, const unsigned char* g, const unsigned char* b, unsigned char* hue,
                   long width) {
    hueRow(r, g, b, hue, width);
}

void kfPelRGBToHue(const kc3PlanePelBuffer& source, kcPelBuffer<unsigned char>& destination) {
    convertToPlane(source, destination, L"RGB to hue conversion of an unbound image", hueRow);
}

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
    convertToPlane(source, destination, L"RGB to intensity conversion of an unbound image", intensityRow);
}
