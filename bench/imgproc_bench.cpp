// bench/imgproc_bench.cpp
// Throughput of the image operations against the fastest plain read of the
// same pels (the SAD byte sum of byte_sum_reference.h).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "byte_sum_reference.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"
#include "toolkit/imgproc/color_conversion.h"
#include "toolkit/imgproc/gauss_sample.h"
#include "toolkit/imgproc/morphology.h"

namespace {

constexpr long kSubsampling = 5;    // the colour search's default subsampling
constexpr long kSmoothness = 4;     // the colour search's smoothing

kc3PlanePelBuffer randomImage(long width, long height) {
    kc3PlanePelBuffer image(width, height);
    std::mt19937 gen(width * 7 + height);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < height; ++y) {
            unsigned char* row = plane.pointToRow(y);
            for (long x = 0; x < width; ++x) row[x] = static_cast<unsigned char>(gen() & 0xff);
        }
    }
    return image;
}

std::uint64_t byteSum(const kc3PlanePelBuffer& image) {
    std::uint64_t total = 0;
    for (int p = 0; p < 3; ++p) {
        const kcPelBuffer<unsigned char>& plane = image.plane(p);
        total += benchByteSum(plane.pointToRow(0), plane.width(), plane.height(), plane.rowUpdate());
    }
    return total;
}

// CPU time of this thread: other work on a busy machine does not count.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// The ratio counters (x_byte_sum) compare the median call of an operation
// with the median byte sum of the same pels, each run back to back on the
// image in cache (the byte sums in two blocks, before and after the
// operation's calls, so that a drift of the machine's speed meets both),
// all timed call by call on this thread's CPU clock. Medians, because on a
// shared host a slow spell, or a clock that missed some of the work, throws
// single calls off either way. The benchmark's time is the mean call.
constexpr int kByteSumsPerBlock = 200;

// Seconds of one byte sum of the image.
double timedByteSum(const kc3PlanePelBuffer& image) {
    const double start = threadSeconds();
    benchmark::DoNotOptimize(byteSum(image));
    return threadSeconds() - start;
}

// Smoothing and subsampling by 5 of the three planes, as on every colour
// image.
void sampleThreePlanes(const kc3PlanePelBuffer& image) {
    const kcGaussSampleParams params(kSubsampling, kSmoothness, 1.0, true);
    for (int p = 0; p < 3; ++p) benchmark::DoNotOptimize(kfGaussSample<unsigned char>(image.plane(p), params));
}

double median(std::vector<double>& values) {
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

struct Medians {
    double call = 0.0;
    double byteSum = 0.0;
};

template <class Work>
Medians medianCallAndByteSum(benchmark::State& state, const kc3PlanePelBuffer& image, Work work) {
    std::vector<double> sums;
    const auto byteSumBlock = [&] {
        for (int i = 0; i < kByteSumsPerBlock; ++i) sums.push_back(timedByteSum(image));
    };
    byteSumBlock();
    std::vector<double> calls;
    for (auto _ : state) {
        const double start = threadSeconds();
        work();
        calls.push_back(threadSeconds() - start);
    }
    byteSumBlock();
    return {median(calls), median(sums)};
}

// Pels per second (the counter shows them with SI prefixes: M/s, G/s).
void setPelRate(benchmark::State& state, double pelsPerIteration) {
    state.counters["pels"] = benchmark::Counter(pelsPerIteration, benchmark::Counter::kIsIterationInvariantRate);
}

// Smoothing and subsampling of all three planes, as on every colour image.
void BM_GaussSampleThreePlanes(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    const Medians medians = medianCallAndByteSum(state, image, [&] { sampleThreePlanes(image); });
    setPelRate(state, 3.0 * double(width * height));
    // How many byte sums of the same pels one sampling costs.
    state.counters["x_byte_sum"] = medians.call / medians.byteSum;
    state.counters["byte_sum_ms"] = medians.byteSum * 1e3;
}
BENCHMARK(BM_GaussSampleThreePlanes)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({2448, 2048})
    ->Unit(benchmark::kMillisecond);

#if defined(__x86_64__)
// Writes the image's pels back to memory and drops them from every cache.
void flushFromCaches(const kc3PlanePelBuffer& image) {
    constexpr long kLine = 64;
    for (int p = 0; p < 3; ++p) {
        const kcPelBuffer<unsigned char>& plane = image.plane(p);
        for (long y = 0; y < plane.height(); ++y)
            for (long x = 0; x < plane.width(); x += kLine) _mm_clflush(plane.pointToRow(y) + x);
    }
    _mm_mfence();
}

// The same on an image in memory, none of it in cache, as an image fresh
// from a camera is: each call, and each byte sum, after the image was
// flushed from the caches. The time is the sampling's only (manual time);
// x_byte_sum is the median of the ratios of pairs of a sampling and a byte
// sum made one after the other.
void BM_GaussSampleThreePlanesFromMemory(benchmark::State& state) {
    const kc3PlanePelBuffer image = randomImage(state.range(0), state.range(1));
    std::vector<double> ratios;
    std::vector<double> sums;
    for (auto _ : state) {
        flushFromCaches(image);
        const double summed = timedByteSum(image);
        flushFromCaches(image);
        const double start = threadSeconds();
        sampleThreePlanes(image);
        const double sampled = threadSeconds() - start;
        state.SetIterationTime(sampled);
        ratios.push_back(sampled / summed);
        sums.push_back(summed);
    }
    state.counters["x_byte_sum"] = median(ratios);
    state.counters["byte_sum_ms"] = median(sums) * 1e3;
}
BENCHMARK(BM_GaussSampleThreePlanesFromMemory)
    ->Args({640, 480})
    ->Args({2448, 2048})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#endif

// The yardstick itself: a byte sum of the same three planes, with the
// instruction set it runs on as the label.
void BM_ByteSumReferenceThreePlanes(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    for (auto _ : state) benchmark::DoNotOptimize(byteSum(image));
    setPelRate(state, 3.0 * double(width * height));
    state.SetLabel(benchByteSumInstructionSet());
}
BENCHMARK(BM_ByteSumReferenceThreePlanes)
    ->Args({640, 480})
    ->Args({1920, 1080})
    ->Args({2448, 2048})
    ->Unit(benchmark::kMillisecond);

// The two reads the yardstick must beat, timed against it in the same run:
// a plain byte-sum loop and a memcpy of the same pels (x_byte_sum above 1).
void BM_ByteSumPlainLoopThreePlanes(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    const Medians medians = medianCallAndByteSum(state, image, [&] {
        for (int p = 0; p < 3; ++p) {
            const kcPelBuffer<unsigned char>& plane = image.plane(p);
            benchmark::DoNotOptimize(
                benchByteSumPlainLoop(plane.pointToRow(0), plane.width(), plane.height(), plane.rowUpdate()));
        }
    });
    state.counters["x_byte_sum"] = medians.call / medians.byteSum;
    setPelRate(state, 3.0 * double(width * height));
}
BENCHMARK(BM_ByteSumPlainLoopThreePlanes)->Args({640, 480})->Args({2448, 2048})->Unit(benchmark::kMillisecond);

void BM_MemcpyThreePlanes(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    kc3PlanePelBuffer copy(width, height);
    kcPelBuffer<unsigned char> copies[3] = {copy.plane0(), copy.plane1(), copy.plane2()};
    const Medians medians = medianCallAndByteSum(state, image, [&] {
        for (int p = 0; p < 3; ++p)
            for (long y = 0; y < height; ++y)
                std::memcpy(copies[p].pointToRow(y), image.plane(p).pointToRow(y), static_cast<std::size_t>(width));
        benchmark::ClobberMemory();
    });
    state.counters["x_byte_sum"] = medians.call / medians.byteSum;
    setPelRate(state, 3.0 * double(width * height));
}
BENCHMARK(BM_MemcpyThreePlanes)->Args({640, 480})->Args({2448, 2048})->Unit(benchmark::kMillisecond);

// The robust maximum's erosion of one plane.
void BM_ErodeSquare(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    const kcGMorphElement element({kcGMorph3x3Element(kcGMorphDefs::eSquare3x3)});
    kcPelBuffer<unsigned char> eroded;
    for (auto _ : state) {
        element.erode(image.plane(0), eroded);
        benchmark::DoNotOptimize(eroded);
    }
    setPelRate(state, double(width * height));
}
BENCHMARK(BM_ErodeSquare)->Args({640, 480})->Unit(benchmark::kMicrosecond);

void BM_RGBToHSI(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    kc3PlanePelBuffer hsi;
    for (auto _ : state) {
        kfPelRGBToHSI(image, hsi);
        benchmark::DoNotOptimize(hsi);
    }
    setPelRate(state, double(width * height));
}
BENCHMARK(BM_RGBToHSI)->Args({2448, 2048})->Unit(benchmark::kMillisecond);

void BM_RGBToI(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height);
    kcPelBuffer<unsigned char> intensity;
    for (auto _ : state) {
        kfPelRGBToI(image, intensity);
        benchmark::DoNotOptimize(intensity);
    }
    setPelRate(state, double(width * height));
}
BENCHMARK(BM_RGBToI)->Args({2448, 2048})->Unit(benchmark::kMillisecond);

}  // namespace
