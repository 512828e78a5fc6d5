// apps/colorbal/balance_command.cpp
#include "apps/colorbal/balance_command.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/interrupt.h"
#include "apps/colorbal/progress_fifo.h"
#include "apps/colorbal/result_image.h"
#include "apps/colorbal/result_warnings.h"
#include "apps/colorbal/run_outputs.h"
#include "apps/colorbal/scene_loading.h"
#include "apps/colorbal/search_record.h"
#include "clbl/driver.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/sim/sim_fifo.h"

namespace {

using Clock = std::chrono::steady_clock;

// Of a noise-free rendering of the scene at `settings` (identity LUT, full
// size).
double goodPelFraction(const kcSimScene& scene, std::uint64_t seed, const kcColorCameraSettings& settings) {
    kcSimCamera camera(scene, seed, false);
    return kfGoodPelFraction(camera.render(settings));
}

}  // namespace

int kfRunBalance(const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    const kcSimScene scene = kfLoadScene(options.scene, options.size);
    kcBalanceSource source;
    source.fifo = kcPtrHandle<kcAcqFifo>(new kcSimFifo(kcSimCamera(scene, options.seed)));
    source.description.name = options.scene;
    source.description.width = scene.width();
    source.description.height = scene.height();
    source.description.seed = options.seed;
    source.goodPelFraction = [&scene, seed = options.seed](const kcColorCameraSettings& settings) {
        return goodPelFraction(scene, seed, settings);
    };
    return kfBalanceAndReport(source, options.params, options, out, err, showProgress);
}

int kfBalanceAndReport(const kcBalanceSource& source, const kcColorBalanceParams& params,
                       const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress) {
    std::unique_ptr<kcProgressLine> progressLine;
    if (showProgress) progressLine = std::make_unique<kcProgressLine>(err);
    // With diagnostics, the driver's result records and every acquisition
    // are kept for the report page.
    std::unique_ptr<kcDiagObject> diag;
    if (options.diagnosticsDir) diag = std::make_unique<kcDiagObject>();
    std::unique_ptr<kcSearchRecorder> recorder;
    if (options.diagnosticsDir) recorder = std::make_unique<kcSearchRecorder>();
    kcProgressFifo::Callback callback;
    if (progressLine || recorder)
        callback = [line = progressLine.get(), rec = recorder.get()](const kcAcqProgress& p) {
            if (rec) rec->add(p);
            if (line) line->update(p);
        };
    const kcPtrHandle<kcProgressFifo> progressFifo(new kcProgressFifo(source.fifo, callback));
    const kcPtrHandle<kcAcqFifo> fifo = progressFifo;

    kcColorBalanceResult result;
    const Clock::time_point began = Clock::now();
    try {
        // A signal stops the search at its next check; the driver then
        // hands the FIFO back as on every other way out.
        const kcInterruptAttention attention;
        kfColorBalance(fifo, params, result, diag.get(), diag ? kRecordResultImages : 0UL);
    } catch (const kcException& e) {
        progressLine.reset();
        kfThrowIfInterrupted("the search stopped and nothing was saved");
        if (dynamic_cast<const kcTimeout::Expired*>(&e) != nullptr)
            throw kcRunError(std::string("balancing stopped: an acquisition timed out (") + e.what() +
                             "); nothing was saved");
        throw kcRunError(std::string("balancing failed: ") + e.what() + "; nothing was saved");
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    const std::string stoppedAfterSearch = "the search had ended; nothing was saved or applied";
    kfThrowIfInterrupted(stoppedAfterSearch);

    kcBalanceReport report;
    report.source = source.description;
    report.params = params;
    report.result = result;
    // The FIFO numbers its acquisitions from 1, and the result keeps the
    // last acquisition of the search: its number is the search's count.
    report.images = result.acqInfo().acquisitionNumber();
    report.start = kcColorCameraSettings(params.exposureRange().start(), 0.0, 0.0);
    report.seconds = seconds;
    const long failureCode = result.acqInfo().failure().code();
    report.failureText = source.failureText ? source.failureText(failureCode) : kfFailureCodeText(failureCode);

    // The driver's result records carry the settings of the search's last
    // image, not the result's: after a search that ended well, one image is
    // taken at the result settings, with the FIFO handed back as found, for
    // a source that cannot render its good pels and for the report page.
    std::optional<double> goodFractionResultImage;
    if ((!source.goodPelFraction || options.diagnosticsDir) && !result.acqInfo().failure().isFailure()) {
        kcAcquireInfo info;
        try {
            const kcPtrHandle<kcAcqImage> image = kfImageAtResult(fifo, result, info);
            if (!image.isNull()) {
                report.resultImage = progressFifo->acquisitions();
                goodFractionResultImage = kfGoodPelFraction(image->get3PlanePelBuffer());
            }
        } catch (const kcException& e) {
            progressLine.reset();
            kfThrowIfInterrupted(stoppedAfterSearch);
            throw kcRunError(std::string("cannot take the image at the result settings: ") + e.what() +
                             "; nothing was saved");
        }
        kfThrowIfInterrupted(stoppedAfterSearch);
        if (report.resultImage == 0 && !source.goodPelFraction) {
            const long code = info.failure().code();
            progressLine.reset();
            err << "colorbal: the image at the result settings failed ("
                << (source.failureText ? source.failureText(code) : kfFailureCodeText(code))
                << "); the good pels at the result are not known\n";
        }
    }
    if (source.goodPelFraction) {
        try {
            report.goodFractionStart = source.goodPelFraction(report.start);
            report.goodFractionResult = source.goodPelFraction(
                kcColorCameraSettings(result.exposure(), result.contrast(), result.brightness()));
        } catch (const kcException& e) {
            throw kcRunError(std::string("cannot count the good pels at the start or result settings: ") + e.what());
        }
    } else {
        report.goodFractionResult = goodFractionResultImage;
    }
    report.warnings = kfResultWarnings(params, result, report.goodFractionResult);

    if (progressLine && options.diagnosticsDir)
        progressLine->show("exporting the diagnostics report to " + *options.diagnosticsDir + " ...");
    const std::exception_ptr outputFailure =
        kfWriteOutputs(options, options.diagnosticsDir ? diag.get() : nullptr, recorder.get(), report);
    // What follows starts on a line of its own.
    progressLine.reset();

    // Applied last, and only a usable result: an output that could not be
    // written leaves the camera as found.
    const kcAcqFailure failure = result.acqInfo().failure();
    if (source.apply && !outputFailure) {
        kfThrowIfInterrupted("the outputs asked for were written; the result was not applied");
        if (failure.isFailure())
            err << "colorbal: the result is not applied: the search ended early\n";
        else if (!report.warnings.empty())
            err << "colorbal: the result is not applied: it is not usable\n";
        else
            report.applied = source.apply(result);
    }
    return kfReportRun(options, report, outputFailure, out, err);
}
