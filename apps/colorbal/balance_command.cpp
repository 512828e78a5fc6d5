// apps/colorbal/balance_command.cpp
#include "apps/colorbal/balance_command.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/interrupt.h"
#include "apps/colorbal/progress_fifo.h"
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

// Of the last colour image of the diagnostics (the one the driver takes at
// the result); absent when there is none.
std::optional<double> resultImageGoodPelFraction(const kcDiagObject& diag) {
    for (long i = diag.numRecords() - 1; i >= 0; --i) {
        for (const kcDiagImage& image : diag.diagRecord(i).images()) {
            if (image.isColor && image.color.width() > 0 && image.color.height() > 0)
                return kfGoodPelFraction(image.color);
        }
    }
    return std::nullopt;
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
    // A source that cannot render its good pels is measured on the result
    // image the driver records. With diagnostics, every acquisition is
    // recorded for the report page.
    std::unique_ptr<kcDiagObject> diag;
    if (options.diagnosticsDir || !source.goodPelFraction) diag = std::make_unique<kcDiagObject>();
    std::unique_ptr<kcSearchRecorder> recorder;
    if (options.diagnosticsDir) recorder = std::make_unique<kcSearchRecorder>();
    kcProgressFifo::Callback callback;
    if (progressLine || recorder)
        callback = [line = progressLine.get(), rec = recorder.get()](const kcAcqProgress& p) {
            if (rec) rec->add(p);
            if (line) line->update(p);
        };
    kcPtrHandle<kcAcqFifo> fifo(new kcProgressFifo(source.fifo, callback));

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
    kfThrowIfInterrupted("the search had ended; nothing was saved or applied");

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
    if (source.goodPelFraction) {
        try {
            report.goodFractionStart = source.goodPelFraction(report.start);
            report.goodFractionResult = source.goodPelFraction(
                kcColorCameraSettings(result.exposure(), result.contrast(), result.brightness()));
        } catch (const kcException& e) {
            throw kcRunError(std::string("cannot count the good pels at the start or result settings: ") + e.what());
        }
    } else if (diag) {
        // A camera is judged on the image the driver took at the result.
        report.goodFractionResult = resultImageGoodPelFraction(*diag);
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
