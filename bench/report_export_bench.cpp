// bench/report_export_bench.cpp
// Time to write the diagnostics report of a 2448 x 2048 balancing run: the
// two result records at full size, three thumbnails, the histogram, the
// plots of 160 acquisitions, search.csv and index.html.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "apps/colorbal/progress_fifo.h"
#include "apps/colorbal/report_page.h"
#include "apps/colorbal/search_record.h"
#include "clbl/driver.h"
#include "clbl/internal/result_diagnostics.h"
#include "toolkit/sim/sim_fifo.h"

namespace {

constexpr long kWidth = 2448;
constexpr long kHeight = 2048;
constexpr unsigned long kAcquisitions = 160;

void BM_ReportExport5Mpel(benchmark::State& state) {
    // A directory of this process's own: the export refuses a target that
    // is not empty, so each export starts from none.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("colorbal-report-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const kcSimScene scene = kcSimScene::builtIn("chart", kWidth, kHeight);
    kcSimCamera camera(scene, 7);
    kcPtrHandle<kcSimFifo> sim(new kcSimFifo(kcSimCamera(scene, 7)));
    // A dark start, a well-exposed image and one in between, as a search's
    // acquisitions would give them; the recorder measures each.
    kcSearchRecorder recorder;
    const kcColorCameraSettings tried[] = {{1e-6, 0.0, 0.0}, {0.13, 0.03, 0.03}, {0.02, 0.4, 0.2}};
    kcAcqProgress progress;
    for (unsigned long i = 0; i < kAcquisitions; ++i) {
        const kcColorCameraSettings& s = tried[i < 3 ? i : 2];
        if (i < 3) progress.image = kcPtrHandle<kcAcqImage>(new kcAcqImage(camera.render(s)));
        progress.acquisitions = i + 1;
        progress.settings = s;
        recorder.add(progress);
    }
    kcColorBalanceResult result;
    result.exposure(0.13);
    result.contrast(0.03);
    result.brightness(0.03);
    sim->properties().exposureProp().exposure(0.13);
    kcDiagObject diag;
    kcAcquireInfo info;
    kcPtrHandle<kcAcqFifo> fifo(new kcProgressFifo(sim, [&](const kcAcqProgress& p) {
        kcAcqProgress last = p;
        last.acquisitions = kAcquisitions + 1;
        recorder.add(last);
    }));
    fifo->triggerModel(kfManualTrigger());
    if (!kfRecordResultDiagnostics(fifo, result, info, diag, kRecordResultImages)) {
        state.SkipWithError("the result records' acquisition failed");
        return;
    }
    kcReportPage page;
    page.source = "scene chart (seed 7)";
    page.width = kWidth;
    page.height = kHeight;
    page.searchImages = kAcquisitions;
    page.result = result;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(dir);
        state.ResumeTiming();
        benchmark::DoNotOptimize(kfExportReport(page, recorder, diag, dir.string()));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_ReportExport5Mpel)->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();

// What recording one acquisition adds to a search with diagnostics: the
// good pels and plane means of a 2448 x 2048 image.
void BM_RecordAcquisition5Mpel(benchmark::State& state) {
    kcSimCamera camera(kcSimScene::builtIn("chart", kWidth, kHeight), 7);
    kcAcqProgress progress;
    progress.image = kcPtrHandle<kcAcqImage>(new kcAcqImage(camera.render({0.13, 0.03, 0.03})));
    progress.settings = kcColorCameraSettings(0.13, 0.03, 0.03);
    kcSearchRecorder recorder;
    for (auto _ : state) {
        ++progress.acquisitions;
        recorder.add(progress);
    }
}
BENCHMARK(BM_RecordAcquisition5Mpel)->Unit(benchmark::kMillisecond);

}  // namespace
