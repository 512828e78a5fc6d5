// bench/byte_sum_reference.cpp
// The fastest plain read of an 8-bit plane, as a yardstick for the image
// operations: a byte sum that vectorises. Compiled with -O3 -march=native, so
// it uses the widest vector instructions of the build machine; it sees raw
// rows only, so that no inline toolkit code is built with those instructions.
#include <cstdint>

std::uint64_t benchByteSum(const unsigned char* first, long width, long height, long stride) {
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
