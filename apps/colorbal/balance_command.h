// apps/colorbal/balance_command.h
// `colorbal balance`: balances the simulated camera with kfColorBalance,
// saves what was asked for and prints the report.
#pragma once

#include <functional>
#include <ostream>

#include "apps/colorbal/options.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"

class kcDiagObject;

// Dark level under which a plane counts as dark when the report counts
// good pels (the saturation level is 239 without a reference).
constexpr int kReportDarkLevel = 5;

// Runs the balance. The progress line goes to `err`, redrawn in place,
// when `showProgress`. Returns kExitSuccess, or kExitRunFailed when the
// search ended on a failed acquisition (the result is still printed and
// saved). kcUsageError for a scene that cannot be loaded; kcRunError when
// the balancing fails or an output cannot be written; nothing is written
// when the balancing fails.
int kfRunBalance(const kcBalanceOptions& options, std::ostream& out, std::ostream& err, bool showProgress);

// Runs kfColorBalance (with kRecordResultImages when `diag` is given) and
// returns the seconds it took. Its errors become kcRunError messages that
// say nothing was saved; `endProgress` runs first on every way out, so that
// what follows starts on a line of its own.
double kfBalanceTimed(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceParams& params, kcColorBalanceResult& result,
                      kcDiagObject* diag, const std::function<void()>& endProgress);
