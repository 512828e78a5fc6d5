// tests/clbl/diagnostics_test.cpp
// The driver's result images and the result text drawn on them. How a
// failing diagnostics acquisition reaches the caller is in the driver's
// failure table.
#include <gtest/gtest.h>

#include <limits>
#include <new>

#include "clbl/driver.h"
#include "clbl/internal/result_diagnostics.h"
#include "tests/support/address_space_limit.h"
#include "tests/support/fifo_test_support.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
// The lines of the result text in `record`, checking where and how each is drawn.
std::vector<std::wstring> linesOf(const kcDiagRecord& record) {
    EXPECT_EQ(record.sketches().size(), 1u);
    const kcDiagSketch& sketch = record.sketches().at(0);
    EXPECT_TRUE(sketch.name == L"Color Balance Result Text" && sketch.coordinates == kcDisplay::CoordinateSystem(0));
    std::vector<std::wstring> lines;
    for (const kcUISketchText& t : sketch.sketch.texts()) {
        EXPECT_EQ(t.point, kcPoint(10.0, 50.0 + 20.0 * static_cast<double>(lines.size())));
        EXPECT_TRUE(t.primaryColor == kcColor::red && t.secondaryColor == kcColor::pass && t.layer == 0 &&
                    t.format == kcUIFormat(-1, 0));
        lines.push_back(t.text);
    }
    return lines;
}

// A FIFO whose completion hands back one prepared image.
class PreparedImageFifo : public kcSimFifo {
public:
    explicit PreparedImageFifo(const kc3PlanePelBuffer& image)
        : kcSimFifo(kcSimCamera(kcSimScene::builtIn("chart", kWidth, kHeight), kSeed)), image_(new kcAcqImage(image)) {}
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override {
        if (args.acqInfo != nullptr) *args.acqInfo = kcAcquireInfo();
        return image_;
    }

private:
    kcPtrHandle<kcAcqImage> image_;
};

std::vector<std::wstring> sketchedLines(const kcColorBalanceResult& result) {
    kcDiagObject diag;
    diag.newDiagRecord();
    kfSketchResultText(result, &diag, kRecordResultImages);
    return linesOf(diag.diagRecord(0));
}
}  // namespace

TEST(SketchResultText, FormatsFourLinesWithSixDecimalsWithoutOverrunningOnlyWhenFlaggedAndNeedsARecord) {
    kcColorBalanceResult result;
    result.exposure(0.0123);
    result.contrast(0.5);
    result.brightness(123.456);
    EXPECT_EQ(sketchedLines(result),
              (std::vector<std::wstring>{L"exposure: 0.012300 ", L"contrast: 0.500000 ", L"brightness: 123.456000 ",
                                         L"positive8BitLut: false "}));

    // Too large for fixed point on the line: shortened instead.
    result.positive8BitLut(true);
    result.exposure(1e300);
    result.contrast(-std::numeric_limits<double>::max());
    result.brightness(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(sketchedLines(result), (std::vector<std::wstring>{L"exposure: 1e+300 ", L"contrast: -1.79769e+308 ",
                                                                L"brightness:      nan ", L"positive8BitLut: true "}));
    result.brightness(1e50);  // still fits in fixed point
    EXPECT_EQ(sketchedLines(result).at(2).substr(0, 14), L"brightness: 10");
    EXPECT_EQ(sketchedLines(result).at(2).size(), std::wstring(L"brightness:  ").size() + 51 + 7);

    kcDiagObject diag;
    diag.newDiagRecord();
    kfSketchResultText(result, &diag, 0);
    kfSketchResultText(result, nullptr, kRecordResultImages);
    EXPECT_TRUE(diag.diagRecord(0).sketches().empty());
    kcDiagObject empty;
    EXPECT_THROW(kfSketchResultText(result, &empty, kRecordResultImages), kcBadArgument);
}

TEST(ColorBalanceDiagnostics, AppendsAColorAndAMonochromeRecordOfOneMoreImageOnlyWhenFlagged) {
    for (const unsigned long flags : {kRecordResultImages, ~kRecordResultImages}) {
        kcPtrHandle<kcSimFifo> fifo = makeFifo();
        const FifoState found = stateOf(*fifo);
        fifo->setFaults({.failureCodeAt = 1});  // ends the search at once
        kcDiagObject diag;
        diag.newDiagRecord().recordAnnotation(L"caller's own");
        kcColorBalanceResult result;
        kfColorBalance(fifo, kcColorBalanceParams(), result, &diag, flags);
        EXPECT_EQ(stateOf(*fifo), found);
        if (flags != kRecordResultImages) {
            EXPECT_EQ(fifo->acquisitionCount(), 1u);
            EXPECT_EQ(diag.numRecords(), 1);
            continue;
        }
        EXPECT_EQ(fifo->acquisitionCount(), 2u);
        ASSERT_EQ(diag.numRecords(), 3);
        EXPECT_TRUE(diag.diagRecord(0).sketches().empty());
        const kcDiagRecord& color = diag.diagRecord(1);
        const kcDiagRecord& grey = diag.diagRecord(2);
        EXPECT_EQ(color.annotations(), std::vector<std::wstring>{L"Color image"});
        EXPECT_EQ(grey.annotations(), std::vector<std::wstring>{L"Monochrome image"});
        EXPECT_EQ(color.images().size() + grey.images().size(), 2u);
        EXPECT_TRUE(color.images().at(0).isColor && color.images()[0].color.width() == kWidth);
        EXPECT_TRUE(!grey.images().at(0).isColor && grey.images()[0].grey.window().height() == kHeight);
        EXPECT_EQ(linesOf(color), sketchedLines(result));  // drawn from the result as filled
        EXPECT_EQ(linesOf(grey), sketchedLines(result));
    }
}

// The monochrome record is made before its image is converted: a conversion
// that fails (here for want of memory) leaves both records behind.
TEST(ColorBalanceDiagnostics, MakesTheMonochromeRecordBeforeConvertingItsImage) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer cannot run under a tight address-space limit";
#endif
    // 71 MB; the three planes share it, the grey image would need as much
    // again: more than any malloc arena a finished thread left behind can
    // grow into, so the grey image always asks the system for more.
    constexpr long kSide = 8448;
    const kcPelBuffer<unsigned char> plane(kSide, kSide);
    kcPtrHandle<PreparedImageFifo> fifo(new PreparedImageFifo(kc3PlanePelBuffer(plane, plane, plane)));
    kcDiagObject diag;
    kcAcquireInfo info;
    bool outOfMemory = false;
    {
        ScopedAddressSpaceLimit limit(8 * 1024 * 1024);
        ASSERT_TRUE(limit.active());
        try {
            kfRecordResultDiagnostics(fifo, kcColorBalanceResult(), info, diag, kRecordResultImages);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        }
    }
    ASSERT_TRUE(outOfMemory);
    ASSERT_EQ(diag.numRecords(), 2);
    EXPECT_TRUE(diag.diagRecord(1).images().empty());
}
