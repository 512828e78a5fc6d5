// tests/clbl/fifo_handling_test.cpp
// Saving and restoring FIFO properties, writing settings, acquiring one
// image, and applying a result to a FIFO.
#include "clbl/fifo_handling.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "clbl/result.h"
#include "fifo_test_support.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
// Changes every property the saver captures.
void disturb(kcSimFifo& fifo) {
    fifo.triggerEnable(true);
    fifo.triggerModel(kfManualTrigger());
    fifo.inputLut(kc8BitInputLutProp::positive8BitLut);
    fifo.exposure(0.001);
    fifo.setContrastEx(0.9, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.8, kcContrastBrightnessProp::kAllTaps);
}
}  // namespace

TEST(FifoPropertiesSaver, CapturesWithoutWritingAndRestoresInOrderWithEveryTapAtTheChannelZeroValue) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    FifoState expected = stateOf(*fifo);
    ASSERT_NE(expected.contrast[0], expected.contrast[1]);
    expected.contrast[1] = expected.contrast[0];
    expected.brightness[1] = expected.brightness[0];
    {
        kcFifoPropertiesSaver saver(fifo);
        EXPECT_TRUE(fifo->writeLog().empty());
        disturb(*fifo);
        fifo->clearWriteLog();
        saver.restore();
        EXPECT_EQ(kindsOf(fifo->writeLog()), restoreKinds());
        const std::vector<kcSimFifoWrite>& log = fifo->writeLog();
        EXPECT_EQ(log[0].value, 0.0);  // triggering off first
        EXPECT_EQ(log[3].tap, kcContrastBrightnessProp::kAllTaps);
        EXPECT_EQ(log[4].tap, kcContrastBrightnessProp::kAllTaps);
        EXPECT_EQ(stateOf(*fifo), expected);
        saver.restore();  // runs once only
    }
    EXPECT_EQ(fifo->writeLog().size(), restoreKinds().size()) << "the destructor restored a second time";

    EXPECT_THROW(kcFifoPropertiesSaver(kcPtrHandle<kcAcqFifo>()), kcBadPointer);
}

TEST(FifoPropertiesSaver, RestoresWhileAnExceptionUnwindsEvenWhenARestoreWriteFails) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    const FifoState found = stateOf(*fifo);
    try {
        kcFifoPropertiesSaver saver(fifo);
        disturb(*fifo);
        kcSimFifoFaults faults;
        faults.failWriteAt = 1;
        faults.failWriteKind = kcSimFifoWrite::eTriggerModel;
        fifo->setFaults(faults);
        fifo->clearWriteLog();
        throw std::runtime_error("caller's error");
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "caller's error");
    }
    const std::vector<kcSimFifoWrite>& log = fifo->writeLog();
    ASSERT_EQ(kindsOf(log), restoreKinds());
    for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i].applied, i != 2) << log[i].describe();
    FifoState expected = found;
    expected.contrast[1] = expected.contrast[0];
    expected.brightness[1] = expected.brightness[0];
    expected.triggerModel = &kfManualTrigger();  // the refused write
    EXPECT_EQ(stateOf(*fifo), expected);
}

TEST(FifoPropertiesSaver, ExplicitRestoreAttemptsEveryStepThenReportsTheFirstFailure) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    const FifoState found = stateOf(*fifo);
    {
        kcFifoPropertiesSaver saver(fifo);
        disturb(*fifo);
        kcSimFifoFaults faults;
        faults.failWriteAt = 2;  // the LUT
        faults.failWriteKind = std::nullopt;
        fifo->setFaults(faults);
        fifo->clearWriteLog();
        try {
            saver.restore();
            ADD_FAILURE() << "a failing restore was not reported";
        } catch (const kcStatusFailure& e) {
            EXPECT_NE(e.message().find(L"inputLut"), std::wstring::npos) << e.what();
        }
        EXPECT_EQ(kindsOf(fifo->writeLog()), restoreKinds());
    }
    EXPECT_EQ(fifo->writeLog().size(), restoreKinds().size());
    FifoState expected = found;
    expected.lut =
        std::vector<unsigned char>(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::positive8BitLut + 256);
    EXPECT_EQ(stateOf(*fifo), expected);
}

TEST(ApplySettingsToFifo, WritesTheSettingsBetweenDisablingAndEnablingTriggeringAndNothingElse) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    FifoState expected = stateOf(*fifo);
    // The FIFO's own values are written again, not skipped.
    kfApplySettingsToFifo(fifo, kcColorCameraSettings(0.02, 0.4, 0.1));
    const std::vector<kcSimFifoWrite>& log = fifo->writeLog();
    ASSERT_EQ(kindsOf(log), (std::vector<kcSimFifoWrite::Kind>{
                                kcSimFifoWrite::eTriggerEnable, kcSimFifoWrite::eExposure, kcSimFifoWrite::eContrast,
                                kcSimFifoWrite::eBrightness, kcSimFifoWrite::eTriggerEnable}));
    EXPECT_EQ(log[0].value, 0.0);
    EXPECT_EQ(log[1].value, 0.02);
    EXPECT_EQ(log[2].value, 0.4);
    EXPECT_EQ(log[2].tap, kcContrastBrightnessProp::kAllTaps);
    EXPECT_EQ(log[3].value, 0.1);
    EXPECT_EQ(log[3].tap, kcContrastBrightnessProp::kAllTaps);
    EXPECT_EQ(log[4].value, 1.0);
    expected.triggerEnable = true;  // found disabled, enabled afterwards
    expected.contrast = {0.4, 0.4};
    expected.brightness = {0.1, 0.1};
    EXPECT_EQ(stateOf(*fifo), expected);
}

TEST(AcquireWithSettings, ReportsFailureCodesAndUnboundImagesAsFailedAndAnEmptyHandleAsBadPointer) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    fifo->triggerModel(kfManualTrigger());
    kcSimFifoFaults faults;
    faults.failureCodeAt = 2;
    faults.failureCode = 42;
    faults.unboundImageAt = 3;
    faults.emptyHandleAt = 4;
    fifo->setFaults(faults);
    const kcColorCameraSettings settings(0.015, 0.5, 0.2);
    kcAcquireInfo info;
    bool failed = true;

    kcPtrHandle<kcAcqImage> image = kfAcquireWithSettings(fifo, settings, info, failed);
    EXPECT_FALSE(failed);
    ASSERT_TRUE(image->isBound());
    EXPECT_EQ(info.acquisitionNumber(), 1u);
    EXPECT_EQ(fifo->exposure(), 0.015);
    EXPECT_EQ(fifo->contrast(kcContrastBrightnessProp::eChannel0), 0.5);
    EXPECT_EQ(fifo->brightness(kcContrastBrightnessProp::eChannel0), 0.2);

    image = kfAcquireWithSettings(fifo, settings, info, failed);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(image->isBound());  // still handed back
    EXPECT_EQ(info.failure().code(), 42);

    image = kfAcquireWithSettings(fifo, settings, info, failed);
    EXPECT_TRUE(failed);
    ASSERT_FALSE(image.isNull());
    EXPECT_FALSE(image->isBound());
    EXPECT_EQ(info.failure().code(), 0);

    EXPECT_THROW(kfAcquireWithSettings(fifo, settings, info, failed), kcBadPointer);
}

TEST(AcquireWithSettings, AnAttentionFailureThrowsBeforeAnythingIsWritten) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    kcSimFifoFaults faults;
    faults.attentionFailureBefore = 1;
    faults.attentionStatus = 7;
    fifo->setFaults(faults);
    kcAcquireInfo info;
    bool failed = false;
    EXPECT_THROW(kfAcquireWithSettings(fifo, kcColorCameraSettings(0.01, 0.5, 0.5), info, failed), kcStatusFailure);
    EXPECT_TRUE(fifo->writeLog().empty());
    EXPECT_EQ(fifo->acquisitionCount(), 0u);
    fifo->setFaults(kcSimFifoFaults());
}

TEST(ResultSetFifoProperties, WritesTheSettingsToAllTapsAndThePositiveLutOnlyWhenFlagged) {
    kcColorBalanceResult result;
    result.exposure(0.003);
    result.contrast(0.25);
    result.brightness(0.75);

    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    FifoState expected = stateOf(*fifo);
    result.setFifoProperties(fifo);
    EXPECT_EQ(kindsOf(fifo->writeLog()),
              (std::vector<kcSimFifoWrite::Kind>{kcSimFifoWrite::eExposure, kcSimFifoWrite::eContrast,
                                                 kcSimFifoWrite::eBrightness}));
    expected.exposure = 0.003;
    expected.contrast = {0.25, 0.25};
    expected.brightness = {0.75, 0.75};
    EXPECT_EQ(stateOf(*fifo), expected);  // inverted LUT and trigger untouched

    result.positive8BitLut(true);
    fifo->clearWriteLog();
    result.setFifoProperties(fifo);
    ASSERT_EQ(fifo->writeLog().size(), 4u);
    EXPECT_EQ(fifo->writeLog()[3].kind, kcSimFifoWrite::eInputLut);
    expected.lut =
        std::vector<unsigned char>(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::positive8BitLut + 256);
    EXPECT_EQ(stateOf(*fifo), expected);

    EXPECT_THROW(result.setFifoProperties(kcPtrHandle<kcAcqFifo>()), kcBadPointer);
}
