// tests/clbl/fifo_handling_test.cpp
// Saving and restoring FIFO properties, writing settings, and applying a
// result to a FIFO.
#include "clbl/internal/fifo_handling.h"

#include <gtest/gtest.h>

#include <string>

#include "clbl/result.h"
#include "tests/support/fifo_test_support.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

TEST(FifoPropertiesSaver, CapturesWithoutWritingAndRestoresOnceInOrderWithEveryTapAtTheChannelZeroValue) {
    // Triggering enabled, so that the restore's first and last trigger writes differ.
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    fifo->triggerEnable(true);
    fifo->clearWriteLog();
    FifoState expected = stateOf(*fifo);
    ASSERT_NE(expected.contrast[0], expected.contrast[1]);
    {
        kcFifoPropertiesSaver saver(fifo);
        EXPECT_TRUE(fifo->writeLog().empty());
        // Every property the saver captures changes.
        fifo->triggerModel(kfManualTrigger());
        fifo->inputLut(kc8BitInputLutProp::positive8BitLut);
        fifo->exposure(0.001);
        fifo->setContrastEx(0.9, kcContrastBrightnessProp::kAllTaps);
        fifo->setBrightnessEx(0.8, kcContrastBrightnessProp::kAllTaps);
        fifo->triggerEnable(false);
        fifo->clearWriteLog();
        saver.restore();
        saver.restore();
    }
    EXPECT_EQ(described(fifo->writeLog()),
              "triggerEnable(false) inputLut(custom) triggerModel(hardware) contrast(0.4, all) brightness(0.1, all) "
              "exposure(0.02) triggerEnable(true)")
        << "not restored exactly once";
    expected.contrast[1] = expected.contrast[0];  // every tap gets channel 0's values
    expected.brightness[1] = expected.brightness[0];
    EXPECT_EQ(stateOf(*fifo), expected);
    EXPECT_THROW(kcFifoPropertiesSaver(kcPtrHandle<kcAcqFifo>()), kcBadPointer);
}

TEST(FifoSettingsWrites, ApplyWritesAllTapsBetweenTriggerWritesAndAResultAddsThePositiveLutOnlyWhenFlagged) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    kfApplySettingsToFifo(fifo, kcColorCameraSettings(0.02, 0.4, 0.1));  // the FIFO's own values, written again
    EXPECT_EQ(described(fifo->writeLog()),
              "triggerEnable(false) exposure(0.02) contrast(0.4, all) brightness(0.1, all) triggerEnable(true)");

    kcColorBalanceResult result;
    result.exposure(0.003);
    result.contrast(0.25);
    result.brightness(0.75);
    for (const bool positive : {false, true}) {
        fifo = makeFifo("chart", 2);
        result.positive8BitLut(positive);
        result.setFifoProperties(fifo);
        EXPECT_EQ(described(fifo->writeLog()),
                  std::string("exposure(0.003) contrast(0.25, all) brightness(0.75, all)") +
                      (positive ? " inputLut(positive)" : ""));
    }
    EXPECT_THROW(result.setFifoProperties(kcPtrHandle<kcAcqFifo>()), kcBadPointer);
}
