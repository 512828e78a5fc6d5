// apps/colorbal/run_outputs.h
// The end of a balancing run: the outputs the options asked for, the
// report, and the exit status.
#pragma once

#include <exception>
#include <ostream>

#include "apps/colorbal/options.h"
#include "apps/colorbal/report_output.h"

class kcDiagObject;
class kcSearchRecorder;

// Writes the diagnostics report (when `diag` and `recorder` are given: the
// records, the acquisitions and the page; see kfExportReport) and the
// result and parameter archives, each whole or not at all, filling the
// report's diagnostics fields and export time. Every output is tried; the first failure (kcRunError
// naming the file and the reason) is returned, not thrown, so that the
// search's result can still be reported. A signal stops the writing with
// kcInterrupted; what was begun is removed.
std::exception_ptr kfWriteOutputs(const kcBalanceOptions& options, const kcDiagObject* diag,
                                  const kcSearchRecorder* recorder, kcBalanceReport& report);

// Writes the report (text or JSON) to the --output file or `out`, then
// throws `outputFailure` when there is one. Returns kExitRunFailed when the
// search ended on a failed acquisition, kExitUnusableResult when the
// report has warnings (each with one line on `err`), kExitSuccess
// otherwise.
int kfReportRun(const kcBalanceOptions& options, const kcBalanceReport& report, std::exception_ptr outputFailure,
                std::ostream& out, std::ostream& err);
