// tests/clbl/diagnostics_test.cpp
// The driver's result images and the result text drawn on them.
#include "clbl/diagnostics.h"

#include <gtest/gtest.h>

#include <limits>

#include "clbl/driver.h"
#include "fifo_test_support.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
// The four lines drawn for `result`, as the sketch holds them.
std::vector<std::wstring> sketchedLines(const kcColorBalanceResult& result) {
    kcDiagObject diag;
    diag.newDiagRecord();
    kfSketchResultText(result, &diag, 1);
    std::vector<std::wstring> lines;
    for (const kcUISketchText& t : diag.diagRecord(0).sketches().at(0).sketch.texts()) lines.push_back(t.text);
    return lines;
}

void expectResultSketch(const kcDiagRecord& record) {
    ASSERT_EQ(record.sketches().size(), 1u);
    const kcDiagSketch& s = record.sketches()[0];
    EXPECT_EQ(s.name, L"Color Balance Result Text");
    EXPECT_EQ(s.coordinates, static_cast<kcDisplay::CoordinateSystem>(0));
    ASSERT_EQ(s.sketch.numTexts(), 4);
    const double tops[] = {50.0, 70.0, 90.0, 110.0};
    for (long i = 0; i < 4; ++i) {
        const kcUISketchText& t = s.sketch.text(i);
        EXPECT_EQ(t.point, kcPoint(10.0, tops[i]));
        EXPECT_EQ(t.primaryColor, kcColor::red);
        EXPECT_EQ(t.secondaryColor, kcColor::pass);
        EXPECT_EQ(t.format, kcUIFormat(-1, 0));
        EXPECT_EQ(t.layer, 0);
    }
}
}  // namespace

TEST(SketchResultText, FormatsTheFourLinesWithSixDecimalsAndATrailingBlank) {
    kcColorBalanceResult result;
    result.exposure(0.0123);
    result.contrast(0.5);
    result.brightness(123.456);
    EXPECT_EQ(sketchedLines(result),
              (std::vector<std::wstring>{L"exposure: 0.012300 ", L"contrast: 0.500000 ", L"brightness: 123.456000 ",
                                         L"positive8BitLut: false "}));
    result.exposure(0.0);
    result.positive8BitLut(true);
    EXPECT_EQ(sketchedLines(result).at(0), L"exposure: 0.000000 ");
    EXPECT_EQ(sketchedLines(result).at(3), L"positive8BitLut: true ");
}

TEST(SketchResultText, ShortensNumbersTooLargeForTheLineInsteadOfOverrunning) {
    kcColorBalanceResult result;
    result.exposure(1e300);
    result.contrast(-std::numeric_limits<double>::max());
    result.brightness(1e50);  // still fits in fixed point
    const std::vector<std::wstring> lines = sketchedLines(result);
    EXPECT_EQ(lines.at(0), L"exposure: 1e+300 ");
    EXPECT_EQ(lines.at(1), L"contrast: -1.79769e+308 ");
    EXPECT_EQ(lines.at(2).size(), std::wstring(L"brightness:  ").size() + 51 + 7);
    EXPECT_EQ(lines.at(2).substr(0, 14), L"brightness: 10");
    for (const std::wstring& line : lines) EXPECT_LT(line.size(), 80u);

    result.exposure(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(sketchedLines(result).at(0), L"exposure:      nan ");
}

TEST(SketchResultText, DrawsNothingWithoutFlagsOrCollectorAndNeedsARecord) {
    const kcColorBalanceResult result;
    kcDiagObject diag;
    diag.newDiagRecord();
    kfSketchResultText(result, &diag, 0);
    kfSketchResultText(result, nullptr, kRecordResultImages);
    EXPECT_TRUE(diag.diagRecord(0).sketches().empty());

    kcDiagObject empty;
    EXPECT_THROW(kfSketchResultText(result, &empty, kRecordResultImages), kcBadArgument);
}

TEST(ColorBalanceDiagnostics, AppendsAColorAndAMonochromeRecordOfOneMoreImageEachWithTheResultText) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    const FifoState found = stateOf(*fifo);
    kcSimFifoFaults faults;
    faults.failureCodeAt = 1;  // ends the search at once
    fifo->setFaults(faults);
    kcDiagObject diag;
    diag.newDiagRecord().recordAnnotation(L"caller's own");
    kcColorBalanceResult result;
    kfColorBalance(fifo, kcColorBalanceParams(), result, &diag, kRecordResultImages);

    EXPECT_EQ(fifo->acquisitionCount(), 2u);
    EXPECT_EQ(result.acqInfo().acquisitionNumber(), 1u) << "the diagnostics image leaked into the result";
    EXPECT_EQ(stateOf(*fifo), found);
    ASSERT_EQ(diag.numRecords(), 3);
    EXPECT_TRUE(diag.diagRecord(0).sketches().empty());

    const kcDiagRecord& color = diag.diagRecord(1);
    EXPECT_EQ(color.annotations(), std::vector<std::wstring>{L"Color image"});
    ASSERT_EQ(color.images().size(), 1u);
    EXPECT_TRUE(color.images()[0].isColor);
    EXPECT_EQ(color.images()[0].color.width(), kWidth);
    expectResultSketch(color);

    const kcDiagRecord& grey = diag.diagRecord(2);
    EXPECT_EQ(grey.annotations(), std::vector<std::wstring>{L"Monochrome image"});
    ASSERT_EQ(grey.images().size(), 1u);
    EXPECT_FALSE(grey.images()[0].isColor);
    EXPECT_EQ(grey.images()[0].grey.window().height(), kHeight);
    expectResultSketch(grey);
    EXPECT_EQ(grey.sketches()[0].sketch.text(0).text,
              sketchedLines(result).at(0));  // drawn from the result as filled
}

TEST(ColorBalanceDiagnostics, RecordsNothingWithoutBothTheFlagAndACollector) {
    kcSimFifoFaults faults;
    faults.failureCodeAt = 1;
    kcColorBalanceResult result;

    kcPtrHandle<kcSimFifo> noCollector = makeFifo();
    noCollector->setFaults(faults);
    kfColorBalance(noCollector, kcColorBalanceParams(), result, nullptr, kRecordResultImages);
    EXPECT_EQ(noCollector->acquisitionCount(), 1u);

    kcPtrHandle<kcSimFifo> otherBits = makeFifo();
    otherBits->setFaults(faults);
    kcDiagObject diag;
    kfColorBalance(otherBits, kcColorBalanceParams(), result, &diag, ~kRecordResultImages);
    EXPECT_EQ(otherBits->acquisitionCount(), 1u);
    EXPECT_EQ(diag.numRecords(), 0);

    // A search that timed out records nothing either.
    kcPtrHandle<kcSimFifo> timedOut = makeFifo();
    faults = kcSimFifoFaults();
    faults.timeoutAt = 2;
    timedOut->setFaults(faults);
    EXPECT_THROW(kfColorBalance(timedOut, kcColorBalanceParams(), result, &diag, kRecordResultImages),
                 kcTimeout::Expired);
    EXPECT_EQ(timedOut->acquisitionCount(), 2u);
    EXPECT_EQ(diag.numRecords(), 0);
}

TEST(ColorBalanceDiagnostics, AFailedExtraAcquisitionReturnsNormallyWithoutRecords) {
    kcSimFifoFaults unboundThenCode, codeThenUnbound;
    unboundThenCode.unboundImageAt = 1;
    unboundThenCode.failureCodeAt = 2;
    codeThenUnbound.failureCodeAt = 1;
    codeThenUnbound.unboundImageAt = 2;
    for (const kcSimFifoFaults& faults : {unboundThenCode, codeThenUnbound}) {
        kcPtrHandle<kcSimFifo> fifo = makeFifo();
        const FifoState found = stateOf(*fifo);
        fifo->setFaults(faults);
        kcDiagObject diag;
        kcColorBalanceResult result;
        kfColorBalance(fifo, kcColorBalanceParams(), result, &diag, kRecordResultImages);
        EXPECT_EQ(fifo->acquisitionCount(), 2u);
        EXPECT_EQ(diag.numRecords(), 0);
        EXPECT_EQ(result.acqInfo().acquisitionNumber(), 1u);
        EXPECT_EQ(stateOf(*fifo), found);
    }
}

TEST(ColorBalanceDiagnostics, AnExceptionInTheDiagnosticsStepPassesUnchangedAfterTheResultWasFilled) {
    kcSimFifoFaults timeout, emptyHandle;
    timeout.failureCodeAt = 1;
    timeout.timeoutAt = 2;
    emptyHandle.failureCodeAt = 1;
    emptyHandle.emptyHandleAt = 2;

    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    const FifoState found = stateOf(*fifo);
    fifo->setFaults(timeout);
    kcDiagObject diag;
    kcColorBalanceResult result;
    result.exposure(-1.0);
    try {
        kfColorBalance(fifo, kcColorBalanceParams(), result, &diag, kRecordResultImages);
        ADD_FAILURE() << "no exception";
    } catch (const kcTimeout::Expired& e) {
        EXPECT_NE(e.message().find(L"simulated timeout"), std::wstring::npos) << "not the FIFO's own: " << e.what();
    }
    EXPECT_EQ(result.exposure(), 1e-6);
    EXPECT_EQ(result.acqInfo().failure().code(), 1);
    EXPECT_EQ(diag.numRecords(), 0);
    EXPECT_EQ(stateOf(*fifo), found);

    kcPtrHandle<kcSimFifo> other = makeFifo();
    other->setFaults(emptyHandle);
    result.exposure(-1.0);
    EXPECT_THROW(kfColorBalance(other, kcColorBalanceParams(), result, &diag, kRecordResultImages), kcBadPointer);
    EXPECT_EQ(result.exposure(), 1e-6);
    EXPECT_EQ(stateOf(*other), found);
}
