// bench/sim_bench.cpp
// Render rate of the simulated camera, in megapixels per second (three
// planes per pixel), at a small, the default and the largest image size.
// Large frames are rendered on two threads, so the renderings are timed by
// the wall clock (the CPU time counts the calling thread only).
#include <benchmark/benchmark.h>

#include "tests/support/search_runner.h"
#include "toolkit/sim/sim_camera.h"

namespace {

constexpr double kPelsPerMegapel = 1e6;
constexpr long kImageBound = 20000;  // far above what a search of the chart takes

void setRate(benchmark::State& state, long width, long height) {
    state.counters["Mpel/s"] =
        benchmark::Counter(static_cast<double>(width) * static_cast<double>(height) / kPelsPerMegapel,
                           benchmark::Counter::kIsIterationInvariantRate);
}

// A well-exposed chart with noise: the case a search renders most.
void BM_SimRenderChart(benchmark::State& state) {
    const long width = state.range(0), height = state.range(1);
    kcSimCamera camera(kcSimScene::builtIn("chart", width, height), 7, true);
    const kcColorCameraSettings settings(0.02, 0.5, 0.2);
    for (auto _ : state) benchmark::DoNotOptimize(camera.render(settings));
    setRate(state, width, height);
}
BENCHMARK(BM_SimRenderChart)
    ->Args({320, 240})
    ->Args({640, 480})
    ->Args({2448, 2048})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Without noise: the cost of the sensor model alone.
void BM_SimRenderChartNoiseless(benchmark::State& state) {
    const long width = state.range(0), height = state.range(1);
    kcSimCamera camera(kcSimScene::builtIn("chart", width, height), 7, false);
    const kcColorCameraSettings settings(0.02, 0.5, 0.2);
    for (auto _ : state) benchmark::DoNotOptimize(camera.render(settings));
    setRate(state, width, height);
}
BENCHMARK(BM_SimRenderChartNoiseless)
    ->Args({320, 240})
    ->Args({640, 480})
    ->Args({2448, 2048})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// Two taps and an inverting input LUT.
void BM_SimRenderTapsAndLut(benchmark::State& state) {
    const long width = state.range(0), height = state.range(1);
    kcSimCamera camera(kcSimScene::builtIn("chart", width, height), 7, true);
    kcSimExposure exposure;
    exposure.exposure = 0.02;
    exposure.tapContrast = {0.5, 0.6};
    exposure.tapBrightness = {0.2, 0.1};
    for (int i = 0; i < 256; ++i) exposure.lut[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
    for (auto _ : state) benchmark::DoNotOptimize(camera.render(exposure));
    setRate(state, width, height);
}
BENCHMARK(BM_SimRenderTapsAndLut)
    ->Args({320, 240})
    ->Args({640, 480})
    ->Args({2448, 2048})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// The main job of `colorbal balance`: a whole search on the simulated
// chart, rendering included, from the program's start settings.
void BM_SimulatedSearchWithRendering(benchmark::State& state) {
    const long width = state.range(0), height = state.range(1);
    long images = 0;
    for (auto _ : state) {
        const search_runner::SearchRun run = search_runner::runSimulatedSearch(
            "chart", width, height, 1, kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0), kImageBound);
        images += run.images;
    }
    state.counters["images"] = static_cast<double>(images) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SimulatedSearchWithRendering)->Args({2448, 2048})->UseRealTime()->Unit(benchmark::kMillisecond);

// Building a built-in scene (done once per camera).
void BM_SimBuildChartScene(benchmark::State& state) {
    const long width = state.range(0), height = state.range(1);
    for (auto _ : state) benchmark::DoNotOptimize(kcSimScene::builtIn("chart", width, height));
    setRate(state, width, height);
}
BENCHMARK(BM_SimBuildChartScene)->Args({320, 240})->Args({2448, 2048})->Unit(benchmark::kMillisecond);

}  // namespace
