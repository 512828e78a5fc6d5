// apps/colorbal/run_outputs.cpp
#include "apps/colorbal/run_outputs.h"

#include <sstream>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/output_files.h"
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

}  // namespace

std::exception_ptr kfWriteOutputs(const kcBalanceOptions& options, const kcDiagObject* diag, kcBalanceReport& report) {
    std::exception_ptr failure;
    if (diag != nullptr)
        attempt(failure, [&] {
            report.diagnosticsRecords = kfExportDiagnostics(*diag, *options.diagnosticsDir).records;
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
