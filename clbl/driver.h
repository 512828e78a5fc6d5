// clbl/driver.h
// kfColorBalance: balances the camera behind an acquisition FIFO in one call.
#pragma once

#include "clbl/export.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/ptr_handle.h"

// Diagnostics flag: after the search, acquire one more image and record it
// as a colour and a monochrome image, each with the result drawn as text.
constexpr unsigned long kRecordResultImages = 0x20000;

// Runs a kcColorBalanceTool against `fifo` until it is done, starting at the
// start of params.exposureRange() with contrast and brightness 0, and fills
// `result` with the settings found, whether the FIFO's LUT was the identity
// at the end of the search, and the last acquisition's report.
//
// The search runs with the manual trigger model and, when
// params.usePositive8BitLut(), the positive LUT. The FIFO's trigger enable,
// trigger model, LUT, exposure, contrast and brightness are put back as
// found on every way out (contrast and brightness on all taps at the
// channel-0 value).
//
// - A failed acquisition ends the search; the call returns normally and
//   result.acqInfo() holds the failure.
// - kcTimeout::Expired during the search: the result is filled, then a new
//   kcTimeout::Expired is thrown.
// - Any other exception passes unchanged and leaves `result` untouched,
//   except one from the diagnostics step or the final restore, which come
//   after the result was filled.
// - kcBadPointer for an empty `fifo`, before anything changes.
//
// With kRecordResultImages in `flags` and a non-null `diag`, two records
// ("Color image", "Monochrome image") are appended to `diag`.
CLBL_EXPORT void kfColorBalance(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceParams& params,
                                kcColorBalanceResult& result, kcDiagObject* diag, unsigned long flags);
