// apps/colorbal/balance_command.h
// `colorbal balance`: balances a FIFO (the simulated camera or a camera)
// with kfColorBalance, saves what was asked for and prints the report.
#pragma once

#include <functional>
#include <ostream>

#include "apps/colorbal/options.h"
#include "apps/colorbal/report_output.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"

// Dark level under which a plane counts as dark when the report counts
// good pels (the saturation level is 239 without a reference).
constexpr int kReportDarkLevel = 5;

// What is balanced: the FIFO, how the report names it, how to count the
// good pels at given settings (empty: the source cannot tell), and how to
// leave a result on it (empty: the result is not applied).
struct kcBalanceSource {
    kcPtrHandle<kcAcqFifo> fifo;
    kcReportSource description;
    std::function<double(const kcColorCameraSettings&)> goodPelFraction;
    std::function<kcAppliedSettings(const kcColorBalanceResult&)> apply;
    // An acquisition failure code in words, with the code (empty:
    // kfFailureCodeText).
    std::function<std::string(long)> failureText;
};

// Runs the balance on the simulated camera the options describe (see
// kfBalanceAndReport). kcUsageError for a scene that cannot be loaded.
int kfRunBalance(const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress);

// Balances `source.fifo` with `params`, the one path of every source: the
// progress line goes to `err`, redrawn in place, when `showProgress`; then
// the outputs the options ask for are written and the report printed.
// A successful and usable result is then applied, after the outputs, when
// the source can apply it. A source without goodPelFraction is judged on
// one image taken at the result settings after the search (also taken for
// the report page with diagnostics), the FIFO handed back as found after
// it on every way out.
// Returns as kfReportRun: kExitSuccess, kExitRunFailed when the search
// ended on a failed acquisition (the result is still printed and saved, not
// applied), kExitUnusableResult when the result is not usable (printed and
// saved, not applied). kcRunError when the balancing fails (nothing is
// written), the result cannot be applied or an output cannot be written
// (the report is still printed, the result not applied). A signal (see
// interrupt.h) stops the search at its next check and gives kcInterrupted
// before anything is written.
int kfBalanceAndReport(const kcBalanceSource& source, const kcColorBalanceParams& params,
                       const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress);
