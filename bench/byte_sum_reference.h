// bench/byte_sum_reference.h
// The yardstick of the benchmarks: the fastest plain read of an 8-bit plane,
// and the two reads it must beat, over raw rows.
#pragma once

#include <cstdint>

// Sum of the bytes of `height` rows of `width` bytes, `stride` apart, with
// the widest sum-of-absolute-differences instructions the machine has
// (chosen at run time); every ratio in the benchmarks is against it.
std::uint64_t benchByteSum(const unsigned char* first, long width, long height, long stride);

// The same sum as a plain loop, as the compiler makes of it.
std::uint64_t benchByteSumPlainLoop(const unsigned char* first, long width, long height, long stride);

// The instruction set benchByteSum uses on this machine ("avx2", "sse2" or
// "scalar").
const char* benchByteSumInstructionSet();
