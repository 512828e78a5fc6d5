// bench/search_bench.cpp
// Whole searches on the simulated camera: the images a search takes and the
// tool's processing time per image, rendering excluded, next to the time of
// one plain read (a vectorised byte sum) of an image of the same size.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>

#include "byte_sum_reference.h"
#include "clbl/tool.h"
#include "tests/support/search_runner.h"
#include "toolkit/sim/sim_camera.h"

namespace {

constexpr std::uint64_t kSeed = 3;
constexpr int kImageBound = 20000;  // far above what a search of the chart takes
constexpr int kReferenceRuns = 20;  // byte sums timed per search for the ratio counter

// CPU time of this thread: other work on a busy machine does not count.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

std::uint64_t byteSum(const kc3PlanePelBuffer& image) {
    std::uint64_t total = 0;
    for (int p = 0; p < 3; ++p) {
        const kcPelBuffer<unsigned char>& plane = image.plane(p);
        total += benchByteSum(plane.pointToRow(plane.window().top()), plane.width(), plane.height(), plane.rowUpdate());
    }
    return total;
}

// Seconds per byte sum of the three planes of a freshly rendered image, the
// way the tool meets it: the rendering has just written it.
double byteSumSeconds(kcSimCamera& camera, const kcColorCameraSettings& settings) {
    double total = 0.0;
    for (int i = 0; i < kReferenceRuns; ++i) {
        const kc3PlanePelBuffer image = camera.render(settings);
        const double start = threadSeconds();
        benchmark::DoNotOptimize(byteSum(image));
        total += threadSeconds() - start;
    }
    return total / kReferenceRuns;
}

// One iteration is one whole search from the same start; the time is the
// CPU time spent in the tool's calls only.
void BM_SearchOnSimulatedChart(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kcSimScene scene = kcSimScene::builtIn("chart", width, height);
    double processing = 0.0;
    double reference = 0.0;
    long images = 0;
    for (auto _ : state) {
        kcSimCamera camera(scene, kSeed);
        kcColorBalanceTool tool;
        // Only the tool's steps are timed: the clock pauses while an image
        // is rendered.
        double seconds = 0.0;
        double resumed = 0.0;
        const auto imageFor = [&](const kcColorCameraSettings& settings) {
            if (resumed != 0.0) seconds += threadSeconds() - resumed;
            kcPtrHandle<kcAcqImage> image = search_runner::renderedImage(camera, settings);
            resumed = threadSeconds();
            return image;
        };
        const search_runner::SearchRun run = search_runner::runSearch(
            tool, kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0), kImageBound, imageFor, false);
        seconds += threadSeconds() - resumed;
        state.SetIterationTime(seconds);
        processing += seconds;
        images += run.images;
        reference += byteSumSeconds(camera, run.last);
    }
    const double iterations = static_cast<double>(state.iterations());
    const double perImage = processing / static_cast<double>(images);
    const double readPerImage = reference / iterations;
    state.counters["images"] = static_cast<double>(images) / iterations;
    state.counters["ms_per_image"] = perImage * 1e3;
    state.counters["byte_sum_ms"] = readPerImage * 1e3;
    // How many plain reads of one image the tool's work on one image costs.
    state.counters["x_byte_sum"] = perImage / readPerImage;
    // Megapixels of camera images processed per second of the tool's time.
    state.counters["Mpel/s"] = static_cast<double>(width * height) * 1e-6 / perImage;
}
BENCHMARK(BM_SearchOnSimulatedChart)
    ->Args({640, 480})
    ->Args({2448, 2048})
    ->UseManualTime()
    ->MinTime(1.0)
    ->Unit(benchmark::kMillisecond);

}  // namespace
