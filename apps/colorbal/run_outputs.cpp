// apps/colorbal/run_outputs.cpp
#include "apps/colorbal/run_outputs.h"

#include <chrono>
#include <sstream>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/output_files.h"
#include "apps/colorbal/report_page.h"
#include "apps/colorbal/search_record.h"
#include "toolkit/diag/diag_object.h"

namespace {

constexpr const char* kProgramName = "colorbal";

// Runs one output step, keeping the first failure and going on with the
// others.
template <class Step>
void attempt(std::exception_ptr& firstFailure, Step step) {
    try {
        step();
    } catch (const kcRunError&) {
        if (!firstFailure) firstFailure = std::current_exception();
    } catch (const kcException& e) {
        if (!firstFailure) firstFailure = std::make_exception_ptr(kcRunError(e.what()));
    }
}

// What the report page says of the run besides the acquisitions.
kcReportPage reportPage(const kcBalanceReport& report) {
    kcReportPage page;
    const kcReportSource& source = report.source;
    page.source = source.isCamera ? "camera " + source.name + " (" + source.model + ", " + source.pixelFormat + ")"
                                  : "scene " + source.name + " (seed " + std::to_string(source.seed) + ")";
    page.width = source.width;
    page.height = source.height;
    page.searchImages = report.images;
    page.resultImage = report.resultImage;
    page.searchSeconds = report.seconds;
    page.start = report.start;
    page.result = report.result;
    page.failureText = report.failureText;
    page.warnings = report.warnings;
    return page;
}

}  // namespace

std::exception_ptr kfWriteOutputs(const kcBalanceOptions& options, const kcDiagObject* diag,
                                  const kcSearchRecorder* recorder, kcBalanceReport& report) {
    std::exception_ptr failure;
    if (diag != nullptr && recorder != nullptr)
        attempt(failure, [&] {
            const auto began = std::chrono::steady_clock::now();
            report.diagnosticsRecords =
                kfExportReport(reportPage(report), *recorder, *diag, *options.diagnosticsDir).records;
            report.exportSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
            report.diagnosticsDir = *options.diagnosticsDir;
        });
    if (options.saveResult) attempt(failure, [&] { kfWriteResultFile(*options.saveResult, report.result); });
    if (options.saveParams) attempt(failure, [&] { kfWriteParamsFile(*options.saveParams, report.params); });
    return failure;
}

int kfReportRun(const kcBalanceOptions& options, const kcBalanceReport& report, std::exception_ptr outputFailure,
                std::ostream& out, std::ostream& err) {
    std::ostringstream text;
    if (options.json)
        kfPrintBalanceJson(text, report);
    else
        kfPrintBalanceText(text, report);
    if (options.outputFile)
        attempt(outputFailure, [&] { kfWriteFileWhole(*options.outputFile, text.str()); });
    else
        out << text.str();
    if (outputFailure) std::rethrow_exception(outputFailure);

    const kcAcquireInfo info = report.result.acqInfo();
    if (info.failure().isFailure()) {
        err << kProgramName << ": acquisition " << info.acquisitionNumber() << " failed: " << report.failureText
            << "; the search ended early\n";
        return kExitRunFailed;
    }
    if (!report.warnings.empty()) {
        err << kProgramName << ": balanced, but the result is not usable: " << report.warnings.front()
            << (report.warnings.size() > 1 ? " (and more; see the report's warnings)" : "") << "\n";
        return kExitUnusableResult;
    }
    return kExitSuccess;
}
