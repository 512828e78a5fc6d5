// bench/measurement_bench.cpp
// Throughput of the image measurement that runs on every image of a search.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "clbl/internal/color_measurement.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

constexpr std::int32_t kDarkLevel = 5;  // the search's dark threshold

// A random image whose values straddle the dark and saturation levels, so
// that both branches of the good-pel test are taken.
kc3PlanePelBuffer randomImage(long width, long height, std::uint32_t seed) {
    kc3PlanePelBuffer image(width, height);
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> value(0, 255);
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = image.plane(p);
        for (long y = 0; y < height; ++y) {
            unsigned char* row = plane.pointToRow(y);
            for (long x = 0; x < width; ++x) row[x] = static_cast<unsigned char>(value(gen));
        }
    }
    return image;
}

void setPelRate(benchmark::State& state, long width, long height) {
    state.counters["pels"] = benchmark::Counter(static_cast<double>(state.iterations()) * double(width * height),
                                                benchmark::Counter::kIsRate);
}

void BM_MeasureColorImageWithAllReferences(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height, 1);
    const kc3PlanePelBuffer repeat = randomImage(width, height, 2);
    const kc3PlanePelBuffer saturation = randomImage(width, height, 3);
    const kc3PlanePelBuffer hue = randomImage(width, height, 4);
    for (auto _ : state) {
        kcColorBalanceMeasurement m = measureColorImage(image, repeat, saturation, hue, kDarkLevel);
        benchmark::DoNotOptimize(m);
    }
    setPelRate(state, width, height);
}

// Repeat image only: the pel loop without hue conversions or erosions.
void BM_MeasureColorImageWithoutReferences(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height, 1);
    const kc3PlanePelBuffer repeat = randomImage(width, height, 2);
    const kc3PlanePelBuffer none;
    for (auto _ : state) {
        kcColorBalanceMeasurement m = measureColorImage(image, repeat, none, none, kDarkLevel);
        benchmark::DoNotOptimize(m);
    }
    setPelRate(state, width, height);
}

void BM_CountGoodPels(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height, 1);
    const kc3PlanePelBuffer saturation = randomImage(width, height, 3);
    for (auto _ : state) benchmark::DoNotOptimize(countGoodPels(image, saturation, kDarkLevel));
    setPelRate(state, width, height);
}

void BM_CountGoodPelsWithoutReference(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height, 1);
    const kc3PlanePelBuffer none;
    for (auto _ : state) benchmark::DoNotOptimize(countGoodPels(image, none, kDarkLevel));
    setPelRate(state, width, height);
}

void BM_ErodedPlaneMax(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kc3PlanePelBuffer image = randomImage(width, height, 1);
    const kcPelBuffer_const<unsigned char> plane = image.plane0();
    for (auto _ : state) benchmark::DoNotOptimize(erodedPlaneMax(plane));
    setPelRate(state, width, height);
}

void imageSizes(benchmark::internal::Benchmark* b) { b->Args({128, 96})->Args({490, 410})->Args({640, 480}); }

}  // namespace

BENCHMARK(BM_MeasureColorImageWithAllReferences)->Apply(imageSizes);
BENCHMARK(BM_MeasureColorImageWithoutReferences)->Apply(imageSizes);
BENCHMARK(BM_CountGoodPels)->Apply(imageSizes);
BENCHMARK(BM_CountGoodPelsWithoutReference)->Apply(imageSizes);
BENCHMARK(BM_ErodedPlaneMax)->Apply(imageSizes);
