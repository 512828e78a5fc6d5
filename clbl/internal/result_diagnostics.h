// clbl/internal/result_diagnostics.h
// The one-shot driver's diagnostics: a colour and a monochrome image of the
// balanced camera, each annotated with the result as text.
#pragma once

#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/ptr_handle.h"

// Acquires one image with the FIFO as it stands (no settings written), its
// report going into `acqInfo`. When the acquisition fails (failure code or
// unbound image) nothing is recorded and false is returned. Otherwise two
// records are appended to `diag`: the colour image annotated "Color image",
// then the monochrome image annotated "Monochrome image", each with the
// result text of kfSketchResultText. kcBadPointer for an empty image handle
// without a failure code.
bool kfRecordResultDiagnostics(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceResult& result, kcAcquireInfo& acqInfo,
                               kcDiagObject& diag, unsigned long flags);

// Draws the result's exposure, contrast, brightness and LUT flag as four
// lines of text and attaches the drawing, named "Color Balance Result
// Text", to the last record of `diag`. Does nothing when `flags` is 0 or
// `diag` is null; kcBadArgument when `diag` holds no record.
//
// A number whose fixed-point form ("%8.6f") would not fit the line's
// 80-character buffer (magnitudes of about 1e57 and more) is written in
// exponent form with six significant digits ("%.6g") instead.
void kfSketchResultText(const kcColorBalanceResult& result, kcDiagObject* diag, unsigned long flags);
