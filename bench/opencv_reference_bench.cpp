// bench/opencv_reference_bench.cpp
// OpenCV's nearest equivalents of our smoothing and subsampling by 5, on the
// same three 8-bit planes, each timed next to ours in the same run. Built
// only where OpenCV is installed (see bench/CMakeLists.txt).
#include <benchmark/benchmark.h>
#include <time.h>

#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "toolkit/foundation/three_plane_pel_buffer.h"
#include "toolkit/imgproc/gauss_sample.h"

namespace {

constexpr long kSubsampling = 5;  // the colour search's default subsampling
constexpr long kSmoothness = 4;   // the colour search's smoothing
constexpr int kOursRuns = 20;     // runs of our sampling timed for the ratio counter

double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Planes {
    kc3PlanePelBuffer ours;
    cv::Mat mats[3];  // over the same pels
};

Planes randomPlanes(long width, long height) {
    Planes planes{kc3PlanePelBuffer(width, height), {}};
    std::mt19937 gen(static_cast<std::uint32_t>(width * 7 + height));
    for (int p = 0; p < 3; ++p) {
        kcPelBuffer<unsigned char> plane = planes.ours.plane(p);
        for (long y = 0; y < height; ++y) {
            unsigned char* row = plane.pointToRow(y);
            for (long x = 0; x < width; ++x) row[x] = static_cast<unsigned char>(gen() & 0xff);
        }
        planes.mats[p] = cv::Mat(static_cast<int>(height), static_cast<int>(width), CV_8UC1, plane.pointToRow(0),
                                 static_cast<std::size_t>(plane.rowUpdate()));
    }
    return planes;
}

double oursSeconds(const kc3PlanePelBuffer& image) {
    kcGaussSampleParams params(1, 2, 1.0, true);
    params.sample(kSubsampling);
    params.smoothness(kSmoothness);
    for (int p = 0; p < 3; ++p) benchmark::DoNotOptimize(kfGaussSample<unsigned char>(image.plane(p), params));
    const double start = threadSeconds();
    for (int i = 0; i < kOursRuns; ++i)
        for (int p = 0; p < 3; ++p) benchmark::DoNotOptimize(kfGaussSample<unsigned char>(image.plane(p), params));
    return (threadSeconds() - start) / kOursRuns;
}

cv::Size subsampledSize(const cv::Mat& m) {
    return cv::Size((m.cols + int(kSubsampling) - 1) / int(kSubsampling),
                    (m.rows + int(kSubsampling) - 1) / int(kSubsampling));
}

// Times `operation` on each plane per iteration; the counters give the
// ratio of OpenCV's time to ours (above 1: ours is faster).
void runAgainstOurs(benchmark::State& state, const std::function<void(const cv::Mat&, cv::Mat&)>& operation) {
    cv::setNumThreads(0);  // one thread, as ours
    const long width = state.range(0);
    const long height = state.range(1);
    const Planes planes = randomPlanes(width, height);
    const double ours = oursSeconds(planes.ours);
    cv::Mat out[3];
    const double start = threadSeconds();
    for (auto _ : state) {
        for (int p = 0; p < 3; ++p) {
            operation(planes.mats[p], out[p]);
            benchmark::DoNotOptimize(out[p].data);
        }
    }
    const double seconds = (threadSeconds() - start) / static_cast<double>(state.iterations());
    state.counters["pels"] =
        benchmark::Counter(3.0 * double(width * height), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["ours_ms"] = ours * 1e3;
    state.counters["x_ours"] = seconds / ours;
}

void BM_OpenCvGaussianBlurThenNearest(benchmark::State& state) {
    cv::Mat blurred;
    runAgainstOurs(state, [&blurred](const cv::Mat& in, cv::Mat& out) {
        cv::GaussianBlur(in, blurred, cv::Size(5, 5), 0.0, 0.0, cv::BORDER_REPLICATE);
        cv::resize(blurred, out, subsampledSize(in), 0.0, 0.0, cv::INTER_NEAREST);
    });
}

void BM_OpenCvTwoPyrDown(benchmark::State& state) {
    cv::Mat half;
    runAgainstOurs(state, [&half](const cv::Mat& in, cv::Mat& out) {
        cv::pyrDown(in, half);
        cv::pyrDown(half, out);
    });
}

void BM_OpenCvResizeArea(benchmark::State& state) {
    runAgainstOurs(state, [](const cv::Mat& in, cv::Mat& out) {
        cv::resize(in, out, subsampledSize(in), 0.0, 0.0, cv::INTER_AREA);
    });
}

void imageSizes(benchmark::internal::Benchmark* b) {
    b->Args({640, 480})->Args({1920, 1080})->Args({2448, 2048})->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(BM_OpenCvGaussianBlurThenNearest)->Apply(imageSizes);
BENCHMARK(BM_OpenCvTwoPyrDown)->Apply(imageSizes);
BENCHMARK(BM_OpenCvResizeArea)->Apply(imageSizes);
