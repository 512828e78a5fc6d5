// apps/colorbal/balance_command.cpp
#include "apps/colorbal/balance_command.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <memory>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/progress_fifo.h"
#include "apps/colorbal/report_output.h"
#include "apps/colorbal/scene_loading.h"
#include "clbl/color_measurement.h"
#include "clbl/driver.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/sim/sim_fifo.h"

namespace {

using Clock = std::chrono::steady_clock;

// The progress line is redrawn at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// One line on a terminal, redrawn in place with a carriage return.
class ProgressLine {
public:
    explicit ProgressLine(std::ostream& err) : err_(err), start_(Clock::now()) {}
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(const kcAcqProgress& progress) {
        const Clock::time_point now = Clock::now();
        if (shown_ > 0 && now - lastDrawn_ < kProgressInterval) return;
        lastDrawn_ = now;
        std::array<char, 160> line{};
        const double seconds = std::chrono::duration<double>(now - start_).count();
        if (progress.settings)
            std::snprintf(line.data(), line.size(),
                          "balancing: %lu images, last at exposure %.6g contrast %.4f brightness %.4f, %.1f s",
                          progress.acquisitions, progress.settings->exposure(), progress.settings->contrast(),
                          progress.settings->brightness(), seconds);
        else
            std::snprintf(line.data(), line.size(), "balancing: %lu images, %.1f s", progress.acquisitions, seconds);
        draw(line.data());
    }

    // Removes the line, leaving the cursor at the start of an empty line.
    void clear() {
        if (shown_ == 0) return;
        err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
        shown_ = 0;
    }

    ~ProgressLine() { clear(); }

private:
    void draw(const std::string& text) {
        // Blanks over what is left of a longer previous line.
        const std::size_t pad = shown_ > text.size() ? shown_ - text.size() : 0;
        err_ << '\r' << text << std::string(pad, ' ') << std::flush;
        shown_ = std::max(text.size(), std::size_t(1));
    }

    std::ostream& err_;
    Clock::time_point start_;
    Clock::time_point lastDrawn_{};
    std::size_t shown_ = 0;
};

// Good pels / all pels of a noise-free rendering of the scene at `settings`
// (identity LUT, full size, no saturation reference).
double goodPelFraction(const kcSimScene& scene, std::uint64_t seed, const kcColorCameraSettings& settings) {
    kcSimCamera camera(scene, seed, false);
    const kc3PlanePelBuffer image = camera.render(settings);
    const double all = static_cast<double>(image.width()) * static_cast<double>(image.height());
    return static_cast<double>(countGoodPels(image, kc3PlanePelBuffer(), kReportDarkLevel)) / all;
}

}  // namespace

double kfBalanceTimed(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceParams& params, kcColorBalanceResult& result,
                      kcDiagObject* diag, const std::function<void()>& endProgress) {
    const Clock::time_point began = Clock::now();
    try {
        kfColorBalance(fifo, params, result, diag, diag ? kRecordResultImages : 0UL);
    } catch (const kcTimeout::Expired& e) {
        endProgress();
        throw kcRunError(std::string("balancing stopped: an acquisition timed out (") + e.what() +
                         "); nothing was saved");
    } catch (const kcException& e) {
        endProgress();
        throw kcRunError(std::string("balancing failed: ") + e.what() + "; nothing was saved");
    }
    endProgress();
    return std::chrono::duration<double>(Clock::now() - began).count();
}

int kfRunBalance(const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    const kcSimScene scene = kfLoadScene(options.scene, options.size);

    kcPtrHandle<kcAcqFifo> camera(new kcSimFifo(kcSimCamera(scene, options.seed)));
    std::unique_ptr<ProgressLine> progressLine;
    kcProgressFifo::Callback callback;
    if (showProgress) {
        progressLine = std::make_unique<ProgressLine>(err);
        callback = [line = progressLine.get()](const kcAcqProgress& p) { line->update(p); };
    }
    kcPtrHandle<kcAcqFifo> fifo(new kcProgressFifo(camera, callback));

    std::unique_ptr<kcDiagObject> diag;
    if (options.diagnosticsDir) diag = std::make_unique<kcDiagObject>();

    kcColorBalanceResult result;
    const double seconds = kfBalanceTimed(fifo, options.params, result, diag.get(), [&progressLine] {
        if (progressLine) progressLine->clear();
    });

    kcBalanceReport report;
    report.scene = options.scene;
    report.width = scene.width();
    report.height = scene.height();
    report.seed = options.seed;
    report.params = options.params;
    report.result = result;
    // The FIFO numbers its acquisitions from 1, and the result keeps the
    // last acquisition of the search: its number is the search's count.
    report.images = result.acqInfo().acquisitionNumber();
    report.start = kcColorCameraSettings(options.params.exposureRange().start(), 0.0, 0.0);
    report.seconds = seconds;
    try {
        report.goodFractionStart = goodPelFraction(scene, options.seed, report.start);
        report.goodFractionResult = goodPelFraction(
            scene, options.seed, kcColorCameraSettings(result.exposure(), result.contrast(), result.brightness()));
    } catch (const kcException& e) {
        throw kcRunError(std::string("cannot render the scene at the start or result settings: ") + e.what());
    }

    if (options.saveResult) kfWriteResultFile(*options.saveResult, result);
    if (options.saveParams) kfWriteParamsFile(*options.saveParams, options.params);
    if (diag) {
        try {
            report.diagnosticsRecords = kfExportDiagnostics(*diag, *options.diagnosticsDir).records;
        } catch (const kcException& e) {
            throw kcRunError(std::string("cannot export the diagnostics: ") + e.what());
        }
        report.diagnosticsDir = *options.diagnosticsDir;
    }

    if (options.json)
        kfPrintBalanceJson(out, report);
    else
        kfPrintBalanceText(out, report);

    const kcAcqFailure failure = result.acqInfo().failure();
    if (failure.isFailure()) {
        err << "colorbal: acquisition " << result.acqInfo().acquisitionNumber() << " failed with code "
            << failure.code() << "; the search ended early\n";
        return kExitRunFailed;
    }
    return kExitSuccess;
}
