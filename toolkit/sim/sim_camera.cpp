// toolkit/sim/sim_camera.cpp
#include "toolkit/sim/sim_camera.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "toolkit/foundation/cpu_features.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/sim/row_halves.h"

// Mappings of the sensor model:
//   gain(contrast)     = 2^(4 contrast): contrast 0..1 spans a 16x gain,
//                        one doubling per quarter of contrast;
//   offset(brightness) = 60 brightness grey levels, added after the gain;
//   noise              = z * sqrt(readSigma^2 + kShotNoisePerLevel * gain * signal),
//                        z standard normal: read noise of 1 grey level plus
//                        shot noise whose variance grows with the signal and,
//                        as on a real sensor, with the analogue gain;
//   pel                = lut[clamp(value, 0, 255) rounded to nearest, halves up].
// With kExposureScale 2000 the chart's white patch (radiance about 0.9) at
// contrast 0.5 reaches about 80 grey levels at exposure 0.01 and about 230 at
// 0.03, and its darkest colour planes stay above the dark threshold of 5.

namespace {

constexpr double kContrastStops = 4.0;                          // doublings of the gain per unit of contrast
constexpr double kOffsetPerBrightness = 60.0;                   // grey levels of offset at brightness 1
constexpr std::size_t kNormalTableSize = std::size_t{1} << 16;  // deviates drawn from the seed
constexpr std::uint64_t kNormalTableMask = kNormalTableSize - 1;
// Larger per-pel scales saturate every pel that sees any light; capping
// keeps the float arithmetic finite.
constexpr double kMaxScale = 1e30;
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ULL;  // splitmix64 increment
constexpr std::uint64_t kTableSalt = 0xA0761D6478BD642FULL;
constexpr std::uint64_t kFrameSalt = 0xE7037ED1A0B428DBULL;
// Frames of at least this many pels (three planes of 256 x 256) are
// rendered on two threads: below it starting a thread costs more than it
// saves.
constexpr double kMinPelsForThreads = 3.0 * 256.0 * 256.0;

std::uint64_t mix64(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// splitmix64: a fast generator whose whole state is one counter.
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() { return mix64(state_ += kGolden); }
    // Uniform in (0, 1], never 0 (so its logarithm is finite).
    double unitOpen() { return (static_cast<double>(next() >> 11) + 1.0) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state_;
};

// Standard normal deviates by the Box-Muller transform, shifted and scaled
// so that the table's own mean is 0 and its standard deviation 1.
std::vector<float> normalTable(std::uint64_t seed) {
    SplitMix rng(mix64(seed ^ kTableSalt));
    std::vector<double> z(kNormalTableSize);
    constexpr double kTwoPi = 6.283185307179586;
    for (std::size_t i = 0; i < kNormalTableSize; i += 2) {
        const double radius = std::sqrt(-2.0 * std::log(rng.unitOpen()));
        const double angle = kTwoPi * rng.unitOpen();
        z[i] = radius * std::cos(angle);
        z[i + 1] = radius * std::sin(angle);
    }
    double sum = 0.0, sumSq = 0.0;
    for (double v : z) sum += v;
    const double mean = sum / static_cast<double>(kNormalTableSize);
    for (double v : z) sumSq += (v - mean) * (v - mean);
    const double sd = std::sqrt(sumSq / static_cast<double>(kNormalTableSize));
    // A row reads kcSimScene::kMaxWidth deviates in order from any start:
    // the table's head is repeated after its end, so no read wraps.
    std::vector<float> table(kNormalTableSize + kcSimScene::kMaxWidth);
    for (std::size_t i = 0; i < kNormalTableSize; ++i) table[i] = static_cast<float>((z[i] - mean) / sd);
    std::copy_n(table.begin(), kcSimScene::kMaxWidth, table.begin() + kNormalTableSize);
    return table;
}

// The constants of one tap for one rendering.
struct TapModel {
    long begin, end;     // columns
    float scale;         // grey levels per unit radiance
    float offset;        // grey levels
    float shotVariance;  // shot-noise variance per grey level of signal
};

// Clamps to 0..255 and rounds; NaN becomes 0, because neither comparison
// holds for it.
inline unsigned char toPel(float v) {
    v = v > 0.0f ? v : 0.0f;
    v = v < 255.0f ? v : 255.0f;
    return static_cast<unsigned char>(static_cast<int>(v + 0.5f));
}

inline unsigned char exactPel(float radiance, const TapModel& tap) { return toPel(tap.scale * radiance + tap.offset); }

inline unsigned char noisyPel(float radiance, float z, const TapModel& tap, float readVariance) {
    const float signal = tap.scale * radiance;
    const float shot = signal > 0.0f ? signal : 0.0f;
    const float sigma = std::sqrt(readVariance + tap.shotVariance * shot);
    return toPel(signal + tap.offset + z * sigma);
}

#if defined(__SSE2__)
// The same arithmetic four lanes at a time, in the same order, so the
// results equal the scalar ones bit for bit: IEEE multiply, add and square
// root are exactly rounded either way, and max/min with the constant second
// turn NaN into 0 as the scalar comparisons do.
inline __m128i toPels(__m128 v) {
    v = _mm_max_ps(v, _mm_setzero_ps());
    v = _mm_min_ps(v, _mm_set1_ps(255.0f));
    return _mm_cvttps_epi32(_mm_add_ps(v, _mm_set1_ps(0.5f)));
}

inline void store16(unsigned char* out, __m128i a, __m128i b, __m128i c, __m128i d) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
}
#endif

// Applies the LUT (nullptr: identity) to out[0, count). A pass of its own
// over the finished pels, still in cache: a byte lookup per pel costs less
// than any vector form of a 256-entry table.
void applyLut(unsigned char* __restrict out, long count, const unsigned char* __restrict lut) {
    if (!lut) return;
    // Eight lookups before their eight stores: no load of the table waits
    // on a store that might, for all the compiler knows, have changed it.
    long x = 0;
    for (; x + 8 <= count; x += 8) {
        unsigned char mapped[8];
        for (int k = 0; k < 8; ++k) mapped[k] = lut[out[x + k]];
        std::memcpy(out + x, mapped, sizeof mapped);
    }
    for (; x < count; ++x) out[x] = lut[out[x]];
}

#if defined(__x86_64__)
// The same arithmetic eight lanes at a time with AVX2 (chosen at run time),
// in the same order, so the results are the same bit for bit. Each renderer
// handles whole blocks of 32 pels and returns how many it did.
__attribute__((target("avx2"), always_inline)) inline __m256i toPels8(__m256 v) {
    v = _mm256_max_ps(v, _mm256_setzero_ps());
    v = _mm256_min_ps(v, _mm256_set1_ps(255.0f));
    return _mm256_cvttps_epi32(_mm256_add_ps(v, _mm256_set1_ps(0.5f)));
}

// Four vectors of eight values 0..255 to 32 bytes in order (the packs work
// within 128-bit halves; the permutation puts the quarters back in order).
__attribute__((target("avx2"), always_inline)) inline void store32(unsigned char* out, const __m256i (&q)[4]) {
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
}

__attribute__((target("avx2"))) long renderExactAvx2(const float* radiance, unsigned char* out, long count,
                                                     const TapModel& tap) {
    const __m256 scale = _mm256_set1_ps(tap.scale), offset = _mm256_set1_ps(tap.offset);
    long x = 0;
    for (; x + 32 <= count; x += 32) {
        __m256i q[4];
        for (int k = 0; k < 4; ++k)
            q[k] = toPels8(_mm256_add_ps(_mm256_mul_ps(scale, _mm256_loadu_ps(radiance + x + 8 * k)), offset));
        store32(out + x, q);
    }
    return x;
}

// `z` holds the deviate of each pel.
__attribute__((target("avx2"))) long renderNoisyAvx2(const float* radiance, const float* z, unsigned char* out,
                                                     long count, const TapModel& tap, float readVariance) {
    const __m256 scale = _mm256_set1_ps(tap.scale), offset = _mm256_set1_ps(tap.offset);
    const __m256 read = _mm256_set1_ps(readVariance), shotVariance = _mm256_set1_ps(tap.shotVariance);
    long x = 0;
    for (; x + 32 <= count; x += 32) {
        __m256i q[4];
        for (int k = 0; k < 4; ++k) {
            const __m256 signal = _mm256_mul_ps(scale, _mm256_loadu_ps(radiance + x + 8 * k));
            const __m256 shot = _mm256_max_ps(signal, _mm256_setzero_ps());
            const __m256 sigma = _mm256_sqrt_ps(_mm256_add_ps(read, _mm256_mul_ps(shotVariance, shot)));
            const __m256 noise = _mm256_mul_ps(_mm256_loadu_ps(z + x + 8 * k), sigma);
            q[k] = toPels8(_mm256_add_ps(_mm256_add_ps(signal, offset), noise));
        }
        store32(out + x, q);
    }
    return x;
}
#endif

void renderExact(const float* radiance, unsigned char* out, long count, const TapModel& tap) {
    long x = 0;
#if defined(__x86_64__)
    if (kfHaveAvx2()) x = renderExactAvx2(radiance, out, count, tap);
#endif
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(tap.scale), offset = _mm_set1_ps(tap.offset);
    __m128i q[4];
    for (; x + 16 <= count; x += 16) {
        for (int k = 0; k < 4; ++k)
            q[k] = toPels(_mm_add_ps(_mm_mul_ps(scale, _mm_loadu_ps(radiance + x + 4 * k)), offset));
        store16(out + x, q[0], q[1], q[2], q[3]);
    }
#endif
    for (; x < count; ++x) out[x] = exactPel(radiance[x], tap);
}

// `z` holds the deviate of each pel.
void renderNoisy(const float* radiance, const float* z, unsigned char* out, long count, const TapModel& tap,
                 float readVariance) {
    long x = 0;
#if defined(__x86_64__)
    if (kfHaveAvx2()) x = renderNoisyAvx2(radiance, z, out, count, tap, readVariance);
#endif
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(tap.scale), offset = _mm_set1_ps(tap.offset);
    const __m128 read = _mm_set1_ps(readVariance), shotVariance = _mm_set1_ps(tap.shotVariance);
    __m128i q[4];
    for (; x + 16 <= count; x += 16) {
        for (int k = 0; k < 4; ++k) {
            const __m128 signal = _mm_mul_ps(scale, _mm_loadu_ps(radiance + x + 4 * k));
            const __m128 shot = _mm_max_ps(signal, _mm_setzero_ps());
            const __m128 sigma = _mm_sqrt_ps(_mm_add_ps(read, _mm_mul_ps(shotVariance, shot)));
            const __m128 noise = _mm_mul_ps(_mm_loadu_ps(z + x + 4 * k), sigma);
            q[k] = toPels(_mm_add_ps(_mm_add_ps(signal, offset), noise));
        }
        store16(out + x, q[0], q[1], q[2], q[3]);
    }
#endif
    for (; x < count; ++x) out[x] = noisyPel(radiance[x], z[x], tap, readVariance);
}

void requireFinite(double value, const wchar_t* what, std::size_t tap) {
    if (!std::isfinite(value))
        throw kcBadArgument(std::wstring(L"simulated ") + what + L" of tap " + std::to_wstring(tap) +
                            L" is not a finite number");
}

}  // namespace

std::array<unsigned char, 256> kcSimExposure::identityLut() {
    std::array<unsigned char, 256> lut{};
    for (std::size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<unsigned char>(i);
    return lut;
}

double kcSimCamera::gain(double contrast) { return std::exp2(kContrastStops * contrast); }

double kcSimCamera::offset(double brightness) { return kOffsetPerBrightness * brightness; }

kcSimCamera::kcSimCamera(kcSimScene scene, std::uint64_t seed, bool noise)
    : scene_(std::move(scene)), seed_(seed), noise_(noise) {
    if (noise_) normals_ = normalTable(seed_);
}

kc3PlanePelBuffer kcSimCamera::render(const kcColorCameraSettings& settings) {
    kcSimExposure exposure;
    exposure.exposure = settings.exposure();
    exposure.tapContrast = {settings.contrast()};
    exposure.tapBrightness = {settings.brightness()};
    return render(exposure);
}

kc3PlanePelBuffer kcSimCamera::render(const kcSimExposure& exposure) {
    const long w = width(), h = height();
    if (!std::isfinite(exposure.exposure) || exposure.exposure < 0.0)
        throw kcBadArgument(L"simulated exposure " + std::to_wstring(exposure.exposure) +
                            L" is negative or not finite");
    const std::size_t taps = exposure.tapContrast.size();
    if (taps == 0 || exposure.tapBrightness.size() != taps)
        throw kcBadArgument(L"simulated taps: " + std::to_wstring(taps) + L" contrasts and " +
                            std::to_wstring(exposure.tapBrightness.size()) +
                            L" brightnesses; there must be as many of each, at least one");
    if (taps > static_cast<std::size_t>(w))
        throw kcBadArgument(L"simulated taps: " + std::to_wstring(taps) + L" taps for an image " + std::to_wstring(w) +
                            L" pels wide");

    std::vector<TapModel> model(taps);
    for (std::size_t i = 0; i < taps; ++i) {
        requireFinite(exposure.tapContrast[i], L"contrast", i);
        requireFinite(exposure.tapBrightness[i], L"brightness", i);
        const double g = gain(exposure.tapContrast[i]);
        TapModel& t = model[i];
        t.begin = static_cast<long>(i * static_cast<std::size_t>(w) / taps);
        t.end = static_cast<long>((i + 1) * static_cast<std::size_t>(w) / taps);
        t.scale = static_cast<float>(std::fmin(g * exposure.exposure * kExposureScale, kMaxScale));
        t.offset = static_cast<float>(offset(exposure.tapBrightness[i]));
        t.shotVariance = static_cast<float>(std::fmin(kShotNoisePerLevel * g, kMaxScale));
    }
    bool identity = true;
    for (std::size_t i = 0; i < exposure.lut.size(); ++i) identity = identity && exposure.lut[i] == i;
    const unsigned char* lut = identity ? nullptr : exposure.lut.data();

    // Each frame has its own stream, fixed by the seed and the frame number.
    // Row r (counted over the three planes in turn) reads the deviate table
    // in order from a start drawn from that stream, so every row is known in
    // advance and rows can be rendered in any order, on any thread.
    const std::uint64_t frameState = mix64(seed_ ^ mix64(frames_ ^ kFrameSalt));
    const auto readVariance = static_cast<float>(kReadNoiseSigma * kReadNoiseSigma);

    // Every pel and the padding of every row are written below, so the
    // planes are not cleared first.
    kcPelBuffer<unsigned char> planes[3] = {
        {w, h, kcForOverwrite{}}, {w, h, kcForOverwrite{}}, {w, h, kcForOverwrite{}}};
    const auto padding = static_cast<std::size_t>(planes[0].rowUpdate() - w);
    const auto renderRows = [&](long first, long last) {
        for (long r = first; r < last; ++r) {
            const int p = static_cast<int>(r / h);
            const long y = r % h;
            const float* radiance = scene_.row(p, y);
            unsigned char* out = planes[p].pointToRow(y);
            std::memset(out + w, 0, padding);
            // The row's deviates: the table from the row's own start on.
            const std::uint64_t start = mix64(frameState + static_cast<std::uint64_t>(r + 1) * kGolden);
            const float* z = noise_ ? normals_.data() + (start & kNormalTableMask) : nullptr;
            for (const TapModel& t : model) {
                if (noise_)
                    renderNoisy(radiance + t.begin, z + t.begin, out + t.begin, t.end - t.begin, t, readVariance);
                else
                    renderExact(radiance + t.begin, out + t.begin, t.end - t.begin, t);
            }
            applyLut(out, w, lut);
        }
    };
    kfForRowHalves(3 * h, static_cast<double>(w) * static_cast<double>(3 * h) >= kMinPelsForThreads, renderRows);
    ++frames_;
    return kc3PlanePelBuffer(planes[0], planes[1], planes[2]);
}
