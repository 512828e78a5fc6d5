// clbl/internal/result_diagnostics.cpp
#include "clbl/internal/result_diagnostics.h"

#include <cwchar>
#include <string>

#include "clbl/internal/grey_conversion.h"
#include "toolkit/diag/diag_record.h"
#include "toolkit/display/display.h"
#include "toolkit/display/ui_tablet.h"
#include "toolkit/display/ui_types.h"
#include "toolkit/foundation/exceptions.h"

namespace {
constexpr unsigned long kStartFlags = 0;     // start() flags word, reserved
constexpr std::size_t kLineBufferSize = 80;  // wide characters per formatted line, nul included
constexpr double kTextLeft = 10.0;           // x of every result line
constexpr double kExposureTop = 50.0;        // y of the four lines, 20 apart
constexpr double kContrastTop = 70.0;
constexpr double kBrightnessTop = 90.0;
constexpr double kLutTop = 110.0;
constexpr const wchar_t* kSketchName = L"Color Balance Result Text";

// One "<label>: <number> " line: the fixed-point form when it fits the
// buffer, else the exponent form, which always fits.
std::wstring numberLine(const wchar_t* fixedFormat, const wchar_t* shortFormat, double value) {
    wchar_t buffer[kLineBufferSize];
    // swprintf never writes past the size given and returns a negative
    // count when the text did not fit.
    if (std::swprintf(buffer, kLineBufferSize, fixedFormat, value) >= 0) return buffer;
    if (std::swprintf(buffer, kLineBufferSize, shortFormat, value) >= 0) return buffer;
    return std::wstring();
}

std::wstring lutLine(bool positive) {
    wchar_t buffer[kLineBufferSize];
    if (std::swprintf(buffer, kLineBufferSize, L"positive8BitLut: %s ", positive ? "true" : "false") >= 0)
        return buffer;
    return std::wstring();
}

void drawLine(kcUITablet& tablet, const std::wstring& text, double top) {
    tablet.draw(text, kcPoint(kTextLeft, top), kcColor::red, kcColor::pass, kcUIFormat(),
                static_cast<kcUITablet::Layers>(0));
}
}  // namespace

bool kfRecordResultDiagnostics(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceResult& result, kcAcquireInfo& acqInfo,
                               kcDiagObject& diag, unsigned long flags) {
    // The FIFO is still set up for balancing and carries the settings of the
    // search's last acquisition; nothing is written before this image.
    fifo->start(kStartFlags);
    kcAcqFifo::CompleteArgs args;
    args.acqInfo = &acqInfo;
    kcPtrHandle<kcAcqImage> image = fifo->completeAcq(args);
    if (acqInfo.failure().code() != 0 || !image->isBound()) return false;

    const kc3PlanePelBuffer color = image->get3PlanePelBuffer();
    kcDiagRecord& colorRecord = diag.newDiagRecord();
    colorRecord.image(color, false);
    colorRecord.recordAnnotation(L"Color image");
    kfSketchResultText(result, &diag, flags);

    // The record comes first: a conversion that fails leaves it without an
    // image, and the collector shows how far the step got.
    kcDiagRecord& greyRecord = diag.newDiagRecord();
    const kcPelBuffer<unsigned char> grey = kfGetGrey8PelBuffer(image);
    greyRecord.image(kcPelBuffer_const<unsigned char>(grey), false);
    greyRecord.recordAnnotation(L"Monochrome image");
    kfSketchResultText(result, &diag, flags);
    return true;
}

void kfSketchResultText(const kcColorBalanceResult& result, kcDiagObject* diag, unsigned long flags) {
    if (flags == 0 || diag == nullptr) return;
    if (diag->numRecords() == 0)
        throw kcBadArgument(L"the diagnostics collector holds 0 records; the result text needs one to attach to");

    kcUITablet tablet;
    drawLine(tablet, numberLine(L"exposure: %8.6f ", L"exposure: %.6g ", result.exposure()), kExposureTop);
    drawLine(tablet, numberLine(L"contrast: %8.6f ", L"contrast: %.6g ", result.contrast()), kContrastTop);
    drawLine(tablet, numberLine(L"brightness: %8.6f ", L"brightness: %.6g ", result.brightness()), kBrightnessTop);
    drawLine(tablet, lutLine(result.positive8BitLut()), kLutTop);

    diag->diagRecord(diag->numRecords() - 1)
        .sketch(tablet.sketch(), static_cast<kcDisplay::CoordinateSystem>(0), kSketchName);
}
