// bench/search_bench.cpp
// Whole searches on the simulated camera: the images a search takes and the
// tool's processing time per image, rendering excluded, next to the time of
// one plain read (the SAD byte sum) of an image of the same size, with the
// time split into sampling, measuring and the rest of the candidate work.
#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>

#include "byte_sum_reference.h"
#include "clbl/internal/color_measurement.h"
#include "clbl/tool.h"
#include "tests/support/search_runner.h"
#include "tests/support/tool_inspector.h"
#include "toolkit/imgproc/gauss_sample.h"
#include "toolkit/sim/sim_camera.h"

namespace {

constexpr std::uint64_t kSeed = 3;
constexpr int kImageBound = 20000;      // far above what a search of the chart takes
constexpr int kReferenceRuns = 20;      // byte sums timed per search for the ratio counter
constexpr long kSubsampling = 5;        // the tool's default subsampling
constexpr long kSmoothness = 4;         // the tool's smoothing
constexpr std::int32_t kDarkLevel = 5;  // the search's dark threshold

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

// The parts of the tool's work, timed beside it on the same images (a
// second camera with the same seed renders the same frames): the smoothing
// and subsampling of every fresh image, and the measurements the tool made
// (seen through its state), each timed on the subsampled image with every
// reference, the dearest form.
struct StepSeconds {
    double sampling = 0.0;
    double measuring = 0.0;
};

class StepTimer {
public:
    explicit StepTimer(kcColorBalanceTool& tool) : tool_(tool) {}

    // Before the tool's call on `image`.
    void before(const kc3PlanePelBuffer& image) {
        const kcGaussSampleParams params(kSubsampling, kSmoothness, 1.0, true);
        const double start = threadSeconds();
        small_ = kc3PlanePelBuffer(kfGaussSample<unsigned char>(image.plane0(), params),
                                   kfGaussSample<unsigned char>(image.plane1(), params),
                                   kfGaussSample<unsigned char>(image.plane2(), params));
        steps_.sampling += threadSeconds() - start;
        const kcColorBalanceToolState& s = tool_.state();
        wasGridPass_ = s.phase == kPhaseGridPass;
        stepOneDone_ = s.stepOneDone;
        stepTwoDone_ = s.stepTwoDone;
        measured_ = tool_.tried().size();
    }

    // After it: the good-pel pre-check runs at step 2 of a grid candidate
    // (not when the call asked for the candidate's brighter image), and
    // every measurement adds a tried setting.
    void after() {
        const kcColorBalanceToolState& s = tool_.state();
        const bool askedBrighter = !stepOneDone_ && s.stepOneDone && !s.stepTwoDone;
        const kc3PlanePelBuffer& reference = previous_.isBound() ? previous_ : small_;
        if (wasGridPass_ && !stepTwoDone_ && !askedBrighter) {
            const double start = threadSeconds();
            benchmark::DoNotOptimize(countGoodPels(small_, reference, kDarkLevel));
            steps_.measuring += threadSeconds() - start;
        }
        for (std::size_t i = measured_; i < tool_.tried().size(); ++i) {
            const double start = threadSeconds();
            benchmark::DoNotOptimize(measureColorImage(reference, small_, reference, small_, kDarkLevel));
            steps_.measuring += threadSeconds() - start;
        }
        previous_ = small_;
    }

    const StepSeconds& steps() const { return steps_; }

private:
    kcColorBalanceToolInspector tool_;
    kc3PlanePelBuffer small_, previous_;
    bool wasGridPass_ = false, stepOneDone_ = false, stepTwoDone_ = false;
    std::size_t measured_ = 0;
    StepSeconds steps_;
};

// One iteration is one whole search from the same start; the time is the
// CPU time spent in the tool's calls only.
void BM_SearchOnSimulatedChart(benchmark::State& state) {
    const long width = state.range(0);
    const long height = state.range(1);
    const kcSimScene scene = kcSimScene::builtIn("chart", width, height);
    double processing = 0.0;
    double reference = 0.0;
    StepSeconds steps;
    long images = 0;
    for (auto _ : state) {
        kcSimCamera camera(scene, kSeed);
        kcSimCamera twin(scene, kSeed);
        kcColorBalanceTool tool;
        StepTimer timer(tool);
        // Only the tool's steps are timed: the clock pauses while an image
        // is rendered.
        double seconds = 0.0;
        double resumed = 0.0;
        const auto imageFor = [&](const kcColorCameraSettings& settings) {
            if (resumed != 0.0) seconds += threadSeconds() - resumed;
            kcPtrHandle<kcAcqImage> image = search_runner::renderedImage(camera, settings);
            timer.before(twin.render(settings));
            resumed = threadSeconds();
            return image;
        };
        const auto afterStep = [&](const kcColorBalanceTool&) {
            seconds += threadSeconds() - resumed;
            timer.after();
            resumed = threadSeconds();
        };
        const search_runner::SearchRun run =
            search_runner::runSearch(tool, kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0), kImageBound,
                                     imageFor, false, afterStep);
        seconds += threadSeconds() - resumed;
        state.SetIterationTime(seconds);
        processing += seconds;
        images += run.images;
        reference += byteSumSeconds(camera, run.last);
        steps.sampling += timer.steps().sampling;
        steps.measuring += timer.steps().measuring;
    }
    const double iterations = static_cast<double>(state.iterations());
    const double perImage = processing / static_cast<double>(images);
    const double readPerImage = reference / iterations;
    state.counters["images"] = static_cast<double>(images) / iterations;
    state.counters["ms_per_image"] = perImage * 1e3;
    state.counters["byte_sum_ms"] = readPerImage * 1e3;
    // How many plain reads of one image the tool's work on one image costs.
    state.counters["x_byte_sum"] = perImage / readPerImage;
    // The split of ms_per_image: sampling, measuring, the rest.
    const double samplingPerImage = steps.sampling / static_cast<double>(images);
    const double measuringPerImage = steps.measuring / static_cast<double>(images);
    state.counters["sampling_ms"] = samplingPerImage * 1e3;
    state.counters["measuring_ms"] = measuringPerImage * 1e3;
    state.counters["candidate_ms"] = (perImage - samplingPerImage - measuringPerImage) * 1e3;
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
