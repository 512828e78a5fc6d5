// toolkit/imgproc/gauss_sample.cpp
#include "toolkit/imgproc/gauss_sample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#endif

#include "toolkit/foundation/cpu_features.h"

namespace {

constexpr long kMaxSmoothness = 8;  // 17 taps; the exact 2-D sums still fit in 64 bits
constexpr long kChunk = 64;         // pels per inner loop: a constant trip count lets -O2 vectorise it
constexpr double kRoundingHalf = 0.5;
constexpr double kMaxPel = 255.0;

// Up to this half-width a column sum (at most 255 x 4^n) fits in 16 bits and
// the SIMD row filter (at most 9 taps, 16 lanes) applies.
constexpr int kMaxNarrowSmoothness = 4;
// Up to this half-width a 2-D sum (at most 255 x 16^n) fits in 32 bits.
constexpr int kMaxPelSum32Smoothness = 6;

template <int N>
using ColumnSum = std::conditional_t<(N <= kMaxNarrowSmoothness), std::uint16_t, std::uint32_t>;
template <int N>
using PelSum = std::conditional_t<(N <= kMaxPelSum32Smoothness), std::uint32_t, std::uint64_t>;

// Narrow column sums reach 65280, beyond a signed 16-bit value, but the
// multiply-adds of the horizontal pass take signed 16-bit values. So they
// are kept offset by -32768 (stored as the sum XOR 0x8000, which is the
// same in 16 bits), and the offset times the kernel's sum is added back to
// each 2-D sum. Wide column sums are kept as they are.
template <int N>
constexpr ColumnSum<N> kColumnBias = N <= kMaxNarrowSmoothness ? 0x8000 : 0;
template <int N>
constexpr std::int32_t kBiasCorrection = N <= kMaxNarrowSmoothness ? 32768 * (1 << (2 * N)) : 0;

// A 2-D sum is the mean times the kernel's total 16^N: the final value is
// the sum plus half that total, shifted right by 4N bits.
template <int N>
constexpr int kTotalBits = 4 * N;
template <int N>
constexpr std::uint64_t kHalfTotal = N > 0 ? std::uint64_t{1} << (N > 0 ? kTotalBits<N> - 1 : 0) : 0;

// Row n of Pascal's triangle for n = 2N: the binomial kernel, summing to 4^N.
template <int N>
constexpr std::array<unsigned, 2 * N + 1> binomialWeights() {
    std::array<unsigned, 2 * N + 1> w{};
    w[0] = 1;
    for (int row = 1; row <= 2 * N; ++row)
        for (int k = row; k > 0; --k) w[k] += w[k - 1];
    return w;
}

// The kernel's weights in sixteen 16-bit lanes, zero beyond the last tap,
// for the vector horizontal passes (N <= 4). A constant, so that a pass
// loads it instead of building it on the stack: a vector load of freshly
// stored halves cannot take them from the stores and waits for them.
template <int N>
constexpr std::array<std::int16_t, 16> kKernelLanes = [] {
    std::array<std::int16_t, 16> lanes{};
    if constexpr (N <= kMaxNarrowSmoothness) {
        constexpr auto w = binomialWeights<N>();
        for (std::size_t k = 0; k < w.size(); ++k) lanes[k] = static_cast<std::int16_t>(w[k]);
    }
    return lanes;
}();

// One column sum at x: w[N] rows[N][x] + sum over k < N of w[k] (rows[k][x] +
// rows[2N-k][x]); the kernel is symmetric, so mirrored rows are added before
// the multiply. Spelled out per tap so that the loops around it vectorise.
template <int N, std::size_t... K>
__attribute__((always_inline)) inline ColumnSum<N> columnSumAt(const std::array<const unsigned char*, 2 * N + 1>& r,
                                                               long x, std::index_sequence<K...>) {
    using Sum = ColumnSum<N>;
    constexpr auto w = binomialWeights<N>();
    Sum s = static_cast<Sum>(w[N] * r[N][x]);
    ((s += static_cast<Sum>(w[K] * (Sum(r[K][x]) + Sum(r[2 * N - K][x])))), ...);
    return static_cast<Sum>(s ^ kColumnBias<N>);
}

// Vertical pass over a whole row: out[x] = sum over k of w[k] rows[k][x].
template <int N>
__attribute__((noinline)) void columnSums(const std::array<const unsigned char*, 2 * N + 1>& rows,
                                          ColumnSum<N>* __restrict out, long width) {
    const std::array<const unsigned char*, 2 * N + 1> r = rows;
    constexpr auto taps = std::make_index_sequence<N>();
    long x = 0;
    for (; x + kChunk <= width; x += kChunk)
        for (long j = 0; j < kChunk; ++j) out[x + j] = columnSumAt<N>(r, x + j, taps);
    for (; x < width; ++x) out[x] = columnSumAt<N>(r, x, taps);
}

#if defined(__x86_64__)
// The vertical pass for N <= 4 with AVX2, 32 pels per step, for machines
// that have it (checked at run time; the library itself targets plain
// x86-64). Rows are taken in pairs: their bytes interleaved, one unsigned
// by signed multiply-add gives w[2k] r[2k] + w[2k+1] r[2k+1] per pel (the
// weights fit in a signed byte and a pair's sum stays below 2^15); the odd
// last row weighs 1 and is added as it is. The sums add up in 16 bits,
// exact since the total stays below 2^16. Interleaving works within 128-bit
// halves, so the two result vectors hold columns 0-7 and 16-23, and 8-15
// and 24-31; they are put back in order when stored. The sums start from
// the bias (0x8000) and wrap in 16 bits, which leaves them biased.
// While it works, the rows the next output row adds (`fresh`) are asked for
// into the second-level cache: an image fresh from a camera comes from
// memory, where this saves about a sixth of the time; asking for the other
// rows too, or into the first-level cache, slowed images already in cache.
template <int N, std::size_t... K>
__attribute__((target("avx2"), noinline)) void columnSumsAvx2(const std::array<const unsigned char*, 2 * N + 1>& rows,
                                                              const std::array<const unsigned char*, N + 1>& fresh,
                                                              ColumnSum<N>* __restrict out, long width,
                                                              std::index_sequence<K...> taps) {
    static_assert(N <= kMaxNarrowSmoothness);
    constexpr auto w = binomialWeights<N>();
    // The largest pair holds the centre weight; its sum times 255 must stay a
    // signed 16-bit value (so each weight fits a signed byte too).
    static_assert((w[N] + w[N > 0 ? N - 1 : 0]) * 255 <= 32767 && w[2 * N] == 1);
    const std::array<const unsigned char*, 2 * N + 1> r = rows;
    constexpr long step = 32;
    // Weight pairs (w[2k] for the first row's byte, w[2k+1] for the second's).
    constexpr auto pairWeight = [w](int k) {
        return static_cast<short>(w[static_cast<std::size_t>(2 * k)] | (w[static_cast<std::size_t>(2 * k + 1)] << 8));
    };
    long x = 0;
    for (; x + step <= width; x += step) {
        if ((x & 63) == 0)
            for (const unsigned char* row : fresh) _mm_prefetch(reinterpret_cast<const char*>(row + x), _MM_HINT_T1);
        __m256i lo = _mm256_set1_epi16(static_cast<short>(kColumnBias<N>));
        __m256i hi = lo;
        // Unrolled, so that the weights are constants.
#pragma GCC unroll 8
        for (int k = 0; k < N; ++k) {
            const __m256i a =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r[static_cast<std::size_t>(2 * k)] + x));
            const __m256i b =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r[static_cast<std::size_t>(2 * k + 1)] + x));
            const __m256i weights = _mm256_set1_epi16(pairWeight(k));
            lo = _mm256_add_epi16(lo, _mm256_maddubs_epi16(_mm256_unpacklo_epi8(a, b), weights));
            hi = _mm256_add_epi16(hi, _mm256_maddubs_epi16(_mm256_unpackhi_epi8(a, b), weights));
        }
        const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(r[2 * N] + x));
        lo = _mm256_add_epi16(lo, _mm256_unpacklo_epi8(last, _mm256_setzero_si256()));
        hi = _mm256_add_epi16(hi, _mm256_unpackhi_epi8(last, _mm256_setzero_si256()));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_permute2x128_si256(lo, hi, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 16), _mm256_permute2x128_si256(lo, hi, 0x31));
    }
    for (; x < width; ++x) out[x] = columnSumAt<N>(r, x, taps);
}

#endif

template <int N>
void columnSumsFastest(const std::array<const unsigned char*, 2 * N + 1>& rows,
                       const std::array<const unsigned char*, N + 1>& fresh, ColumnSum<N>* out, long width) {
#if defined(__x86_64__)
    if constexpr (N <= kMaxNarrowSmoothness) {
        if (kfHaveAvx2()) {
            columnSumsAvx2<N>(rows, fresh, out, width, std::make_index_sequence<N>());
            return;
        }
    }
#endif
    columnSums<N>(rows, out, width);
}

// Horizontal pass at the subsampled columns: sums[i] = sum over k of
// w[k] x padded[centres(i) + k], where `padded` holds the column sums with N
// replicated values on each side, so index c + N of it is source column c.
template <int N>
void rowSumsScalar(const ColumnSum<N>* padded, long first, long count, long step, PelSum<N>* sums) {
    constexpr auto w = binomialWeights<N>();
    for (long i = 0; i < count; ++i) {
        const ColumnSum<N>* p = padded + first + i * step;
        const auto at = [p](int k) { return PelSum<N>(p[k] ^ kColumnBias<N>); };
        PelSum<N> s = PelSum<N>(w[N]) * at(N);
        for (int k = 0; k < N; ++k) s += PelSum<N>(w[k]) * (at(k) + at(2 * N - k));
        sums[i] = s;
    }
}

#if defined(__SSE2__)
// The same for N <= 4 with SSE2 (baseline on x86-64): one multiply-add of
// the biased 16-bit column sums per eight taps. `padded` must hold 16
// readable values from every start.
template <int N>
void rowSums(const ColumnSum<N>* padded, long first, long count, long step, PelSum<N>* sums) {
    if constexpr (N > kMaxNarrowSmoothness) {
        rowSumsScalar<N>(padded, first, count, step, sums);
    } else {
        if (count <= 0) return;
        constexpr int taps = 2 * N + 1;
        const __m128i kLo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKernelLanes<N>.data()));
        const __m128i kHi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKernelLanes<N>.data() + 8));
        const __m128i correction = _mm_set1_epi32(kBiasCorrection<N>);
        const auto dot = [&](long i) {
            const ColumnSum<N>* p = padded + first + i * step;
            __m128i d = _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), kLo);
            if constexpr (taps > 8)
                d = _mm_add_epi32(d, _mm_madd_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 8)), kHi));
            return d;
        };
        long i = 0;
        for (; i + 4 <= count; i += 4) {
            // Four dot products of four partial sums each: transpose and add.
            const __m128i a = dot(i), b = dot(i + 1), c = dot(i + 2), e = dot(i + 3);
            const __m128i ab = _mm_add_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
            const __m128i ce = _mm_add_epi32(_mm_unpacklo_epi32(c, e), _mm_unpackhi_epi32(c, e));
            const __m128i total = _mm_add_epi32(_mm_unpacklo_epi64(ab, ce), _mm_unpackhi_epi64(ab, ce));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + i), _mm_add_epi32(total, correction));
        }
        rowSumsScalar<N>(padded, first + i * step, count - i, step, sums + i);
    }
}
#else
template <int N>
void rowSums(const ColumnSum<N>* padded, long first, long count, long step, PelSum<N>* sums) {
    rowSumsScalar<N>(padded, first, count, step, sums);
}
#endif

#if defined(__x86_64__)
// The same with AVX2: the 2-D sums of eight outputs, without the bias
// correction. Each output's sixteen values (taps beyond 2N + 1 weigh 0) go
// through one multiply-add; the eight sets of eight partial sums are then
// reduced by pairwise adds, which leave outputs 0-3 and 4-7 each split over
// the two halves of a vector; one blend and one swap of halves add them up.
template <int N>
__attribute__((target("avx2"), always_inline)) inline __m256i eightSumsAvx2(const ColumnSum<N>* p, long step,
                                                                            __m256i kernel) {
    __m256i d[8];
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j)
        d[j] = _mm256_madd_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j * step)), kernel);
    __m256i t[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j)
        t[j] = _mm256_add_epi32(_mm256_unpacklo_epi32(d[2 * j], d[2 * j + 1]),
                                _mm256_unpackhi_epi32(d[2 * j], d[2 * j + 1]));
    const __m256i q0 = _mm256_add_epi32(_mm256_unpacklo_epi64(t[0], t[1]), _mm256_unpackhi_epi64(t[0], t[1]));
    const __m256i q1 = _mm256_add_epi32(_mm256_unpacklo_epi64(t[2], t[3]), _mm256_unpackhi_epi64(t[2], t[3]));
    return _mm256_add_epi32(_mm256_blend_epi32(q0, q1, 0xF0), _mm256_permute2x128_si256(q0, q1, 0x21));
}

// The 2-D sums of the outputs in steps of eight; returns how many it made.
template <int N>
__attribute__((target("avx2"))) long rowSumsAvx2(const ColumnSum<N>* padded, long first, long count, long step,
                                                 PelSum<N>* sums) {
    static_assert(N <= kMaxNarrowSmoothness);
    const __m256i kernel = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kKernelLanes<N>.data()));
    const __m256i correction = _mm256_set1_epi32(kBiasCorrection<N>);
    long i = 0;
    for (; i + 8 <= count; i += 8)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(sums + i),
                            _mm256_add_epi32(eightSumsAvx2<N>(padded + first + i * step, step, kernel), correction));
    return i;
}

// The final values at gain 1 straight from the 2-D sums, in steps of 32
// outputs: the sums of four steps of eight, rounded and shifted, packed to
// bytes. Packing works within halves, which leaves the four-byte groups in
// the order 0 2 4 6 1 3 5 7; one permutation puts them back. Returns how
// many it made.
template <int N>
__attribute__((target("avx2"))) long rowValuesAvx2(const ColumnSum<N>* padded, long first, long count, long step,
                                                   unsigned char* out) {
    static_assert(N <= kMaxNarrowSmoothness);
    const __m256i kernel = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kKernelLanes<N>.data()));
    const __m256i rounding = _mm256_set1_epi32(kBiasCorrection<N> + static_cast<std::int32_t>(kHalfTotal<N>));
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    long i = 0;
    for (; i + 32 <= count; i += 32) {
        const ColumnSum<N>* p = padded + first + i * step;
        __m256i v[4];
#pragma GCC unroll 4
        for (int k = 0; k < 4; ++k)
            v[k] = _mm256_srli_epi32(_mm256_add_epi32(eightSumsAvx2<N>(p + k * 8 * step, step, kernel), rounding),
                                     kTotalBits<N>);
        const __m256i v01 = _mm256_packus_epi32(v[0], v[1]);
        const __m256i v23 = _mm256_packus_epi32(v[2], v[3]);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(v01, v23), order));
    }
    return i;
}
#endif

// The fastest horizontal pass the machine has.
template <int N>
void rowSumsFastest(const ColumnSum<N>* padded, long first, long count, long step, PelSum<N>* sums) {
    if (count <= 0) return;
    long done = 0;
#if defined(__x86_64__)
    if constexpr (N <= kMaxNarrowSmoothness)
        if (kfHaveAvx2()) done = rowSumsAvx2<N>(padded, first, count, step, sums);
#endif
    rowSums<N>(padded, first + done * step, count - done, step, sums + done);
}

// Final values: the 2-D sum divided by the kernel's total 16^N, rounded to
// nearest (halves up), times the gain, saturated to 0..255.
template <int N>
void finishRow(const PelSum<N>* __restrict sums, long count, double gain, unsigned char* __restrict out) {
    constexpr int shift = kTotalBits<N>;
    if (gain == 1.0) {
        constexpr auto half = static_cast<PelSum<N>>(kHalfTotal<N>);
        long i = 0;
        for (; i + kChunk <= count; i += kChunk)
            for (long j = 0; j < kChunk; ++j) out[i + j] = static_cast<unsigned char>((sums[i + j] + half) >> shift);
        for (; i < count; ++i) out[i] = static_cast<unsigned char>((sums[i] + half) >> shift);
        return;
    }
    const double total = std::ldexp(1.0, shift);
    for (long i = 0; i < count; ++i) {
        const double value = std::floor(gain * (static_cast<double>(sums[i]) / total) + kRoundingHalf);
        out[i] = static_cast<unsigned char>(std::clamp(value, 0.0, kMaxPel));
    }
}

template <int N>
kcPelBuffer<unsigned char> sampleWith(const kcPelBuffer_const<unsigned char>& source, long step, double gain) {
    const long width = source.width();
    const long height = source.height();
    const long outWidth = (width + step - 1) / step;
    const long outHeight = (height + step - 1) / step;
    // Every pel and the padding of every row are written below.
    kcPelBuffer<unsigned char> result(outWidth, outHeight, kcForOverwrite{});
    if (outWidth == 0 || outHeight == 0) return result;
    // The padding of a row is shorter than the rows' 64-byte alignment, so a
    // clear of the row's last 64 bytes, before its pels are written, covers
    // it: one fixed-size clear, made in place, instead of a call per row.
    constexpr long kTail = 64;
    const long rowBytes = result.rowUpdate();
    const auto clearPadding = [rowBytes, outWidth](unsigned char* row) {
        if (rowBytes >= kTail)
            std::memset(row + rowBytes - kTail, 0, kTail);
        else
            std::memset(row + outWidth, 0, static_cast<std::size_t>(rowBytes - outWidth));
    };

    // Output pel i samples source pel i*step + offset, the centre of its block.
    const long offset = (step - 1) / 2;
    // Outputs whose centre lies inside the window; only the last one can be
    // clamped to the border column.
    const long regular = offset <= width - 1 ? std::min(outWidth, (width - 1 - offset) / step + 1) : 0;

    // Scratch kept by each thread between calls, so that a call allocates
    // nothing but its result once the first has sized it: column sums with N
    // replicated values on each side and 16 spare values for the SIMD reads,
    // and the 2-D sums. Column 0 sits on a 32-byte boundary, so that no
    // vector store of the vertical pass straddles two cache lines.
    constexpr long kAlignment = 32 / static_cast<long>(sizeof(ColumnSum<N>));  // values
    static_assert(kAlignment >= N);
    thread_local std::vector<ColumnSum<N>> scratch;
    thread_local std::vector<PelSum<N>> sums;
    if (scratch.size() < static_cast<std::size_t>(2 * kAlignment + width + N + 16))
        scratch.resize(static_cast<std::size_t>(2 * kAlignment + width + N + 16));
    if (sums.size() < static_cast<std::size_t>(outWidth)) sums.resize(static_cast<std::size_t>(outWidth));
    const auto misaligned = static_cast<long>(reinterpret_cast<std::uintptr_t>(scratch.data() + kAlignment) % 32 /
                                              sizeof(ColumnSum<N>));
    ColumnSum<N>* const columns = scratch.data() + kAlignment + (kAlignment - misaligned) % kAlignment;
    // Index c of `padded` is the first tap of source column c.
    ColumnSum<N>* const padded = columns - N;
    const unsigned char* const firstRow = source.pointToRow(source.window().top());
    const long stride = source.rowUpdate();
    const auto sourceRow = [firstRow, stride, height](long y) {
        return firstRow + std::clamp(y, 0L, height - 1) * stride;
    };
    std::array<const unsigned char*, 2 * N + 1> rows{};
    std::array<const unsigned char*, N + 1> fresh{};
    // At gain 1 the vector horizontal pass gives most final values itself.
    bool straight = false;
#if defined(__x86_64__)
    straight = N <= kMaxNarrowSmoothness && gain == 1.0 && kfHaveAvx2();
#endif
    for (long j = 0; j < outHeight; ++j) {
        const long centre = std::min(j * step + offset, height - 1);
        // The next output row's last N + 1 rows: the ones this row lacks.
        const long nextCentre = std::min((j + 1) * step + offset, height - 1);
        for (long k = 0; k <= 2 * N; ++k) rows[static_cast<std::size_t>(k)] = sourceRow(centre + k - N);
        for (long k = 0; k <= N; ++k) fresh[static_cast<std::size_t>(k)] = sourceRow(nextCentre + k);
        columnSumsFastest<N>(rows, fresh, columns, width);
        for (long k = 1; k <= N; ++k) {
            columns[-k] = columns[0];
            columns[width - 1 + k] = columns[width - 1];
        }
        unsigned char* const out = result.pointToRow(j);
        clearPadding(out);
        long ready = 0;
#if defined(__x86_64__)
        if constexpr (N <= kMaxNarrowSmoothness)
            if (straight) ready = rowValuesAvx2<N>(padded, offset, regular, step, out);
#endif
        rowSumsFastest<N>(padded, offset + ready * step, regular - ready, step, sums.data());
        if (regular < outWidth)
            rowSumsScalar<N>(padded, width - 1, outWidth - regular, 0, sums.data() + (regular - ready));
        finishRow<N>(sums.data(), outWidth - ready, gain, out + ready);
    }
    return result;
}

template <int... N>
kcPelBuffer<unsigned char> dispatch(std::integer_sequence<int, N...>, long smoothness,
                                    const kcPelBuffer_const<unsigned char>& source, long step, double gain) {
    using Sampler = kcPelBuffer<unsigned char> (*)(const kcPelBuffer_const<unsigned char>&, long, double);
    constexpr Sampler samplers[] = {&sampleWith<N>...};
    return samplers[smoothness](source, step, gain);
}

}  // namespace

kcGaussSampleParams::kcGaussSampleParams(long sample, long smoothness, double gain, bool clip)
    : sample_(1), smoothness_(0), gain_(gain), clip_(clip) {
    if (!std::isfinite(gain) || gain < 0.0)
        throw kcBadArgument(L"Gaussian sampling gain " + std::to_wstring(gain) + L" is not a finite value >= 0");
    this->sample(sample);
    this->smoothness(smoothness);
}

void kcGaussSampleParams::sample(long factor) {
    if (factor < 1) throw kcBadArgument(L"Gaussian sampling factor " + std::to_wstring(factor) + L" is below 1");
    sample_ = factor;
}

void kcGaussSampleParams::smoothness(long halfWidth) {
    if (halfWidth < 0 || halfWidth > kMaxSmoothness)
        throw kcBadArgument(L"Gaussian smoothness " + std::to_wstring(halfWidth) + L" lies outside 0 to " +
                            std::to_wstring(kMaxSmoothness));
    smoothness_ = halfWidth;
}

template <>
kcPelBuffer<unsigned char> kfGaussSample<unsigned char>(const kcPelBuffer_const<unsigned char>& source,
                                                        const kcGaussSampleParams& params) {
    if (!source.isBound()) throw kcUnboundBuffer(L"Gaussian sampling of an unbound pel buffer");
    return dispatch(std::make_integer_sequence<int, kMaxSmoothness + 1>(), params.smoothness(), source, params.sample(),
                    params.gain());
}
