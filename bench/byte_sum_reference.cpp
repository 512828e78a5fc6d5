// bench/byte_sum_reference.cpp
#include "byte_sum_reference.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "toolkit/foundation/cpu_features.h"

namespace {

// Independent accumulators keep several loads in flight: one accumulator
// chains every add through one register and caps the read well below the
// memory bandwidth.
constexpr int kAccumulators = 4;

std::uint64_t scalarRowSum(const unsigned char* row, long from, long width) {
    std::uint64_t sum = 0;
    for (long x = from; x < width; ++x) sum += row[x];
    return sum;
}

#if defined(__x86_64__)
// SAD against zero adds eight bytes into each 64-bit lane: one instruction
// reads 32 bytes into four partial sums that cannot overflow.
__attribute__((target("avx2"))) std::uint64_t sumAvx2(const unsigned char* first, long width, long height,
                                                      long stride) {
    constexpr long kStep = 32;
    const __m256i zero = _mm256_setzero_si256();
    __m256i acc[kAccumulators] = {zero, zero, zero, zero};
    std::uint64_t tail = 0;
    for (long y = 0; y < height; ++y) {
        const unsigned char* row = first + y * stride;
        long x = 0;
        for (; x + kAccumulators * kStep <= width; x += kAccumulators * kStep)
            for (int k = 0; k < kAccumulators; ++k)
                acc[k] = _mm256_add_epi64(
                    acc[k],
                    _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x + k * kStep)), zero));
        for (; x + kStep <= width; x += kStep)
            acc[0] = _mm256_add_epi64(
                acc[0], _mm256_sad_epu8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + x)), zero));
        tail += scalarRowSum(row, x, width);
    }
    const __m256i all = _mm256_add_epi64(_mm256_add_epi64(acc[0], acc[1]), _mm256_add_epi64(acc[2], acc[3]));
    alignas(32) std::uint64_t lanes[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), all);
    return lanes[0] + lanes[1] + lanes[2] + lanes[3] + tail;
}

std::uint64_t sumSse2(const unsigned char* first, long width, long height, long stride) {
    constexpr long kStep = 16;
    const __m128i zero = _mm_setzero_si128();
    __m128i acc[kAccumulators] = {zero, zero, zero, zero};
    std::uint64_t tail = 0;
    for (long y = 0; y < height; ++y) {
        const unsigned char* row = first + y * stride;
        long x = 0;
        for (; x + kAccumulators * kStep <= width; x += kAccumulators * kStep)
            for (int k = 0; k < kAccumulators; ++k)
                acc[k] = _mm_add_epi64(
                    acc[k], _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + k * kStep)), zero));
        for (; x + kStep <= width; x += kStep)
            acc[0] =
                _mm_add_epi64(acc[0], _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), zero));
        tail += scalarRowSum(row, x, width);
    }
    const __m128i all = _mm_add_epi64(_mm_add_epi64(acc[0], acc[1]), _mm_add_epi64(acc[2], acc[3]));
    alignas(16) std::uint64_t lanes[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), all);
    return lanes[0] + lanes[1] + tail;
}

#endif

}  // namespace

std::uint64_t benchByteSum(const unsigned char* first, long width, long height, long stride) {
#if defined(__x86_64__)
    return kfHaveAvx2() ? sumAvx2(first, width, height, stride) : sumSse2(first, width, height, stride);
#else
    return benchByteSumPlainLoop(first, width, height, stride);
#endif
}

std::uint64_t benchByteSumPlainLoop(const unsigned char* first, long width, long height, long stride) {
    std::uint64_t total = 0;
    for (long y = 0; y < height; ++y) {
        const unsigned char* row = first + y * stride;
        // 32 bits hold the sum of a row of up to 16 million pels.
        std::uint32_t rowSum = 0;
        for (long x = 0; x < width; ++x) rowSum += row[x];
        total += rowSum;
    }
    return total;
}

const char* benchByteSumInstructionSet() {
#if defined(__x86_64__)
    return kfHaveAvx2() ? "avx2" : "sse2";
#else
    return "scalar";
#endif
}
