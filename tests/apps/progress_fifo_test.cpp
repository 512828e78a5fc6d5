// tests/apps/progress_fifo_test.cpp
// kcProgressFifo forwards every call to the FIFO it wraps and reports each
// completed acquisition.
#include "apps/colorbal/progress_fifo.h"

#include <gtest/gtest.h>

#include <vector>

#include "clbl/driver.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/sim/sim_fifo.h"

namespace {
kcPtrHandle<kcSimFifo> smallSimFifo() {
    return kcPtrHandle<kcSimFifo>(new kcSimFifo(kcSimCamera(kcSimScene::builtIn("chart", 64, 48), 3)));
}
}  // namespace

TEST(ProgressFifo, ForwardsEveryCallAndReportsEachCompletedAcquisition) {
    kcPtrHandle<kcSimFifo> sim = smallSimFifo();
    std::vector<kcAcqProgress> reports;
    kcProgressFifo fifo(sim, [&](const kcAcqProgress& p) { reports.push_back(p); });
    EXPECT_EQ(&fifo.properties(), &sim->properties());
    fifo.properties().exposureProp().exposure(0.02);
    fifo.properties().contrastBrightnessProp().setContrastEx(0.25, kcContrastBrightnessProp::kAllTaps);
    fifo.properties().contrastBrightnessProp().setBrightnessEx(0.125, kcContrastBrightnessProp::kAllTaps);
    fifo.triggerEnable(false);
    EXPECT_FALSE(sim->triggerEnable() || fifo.triggerEnable());
    fifo.triggerModel(kfManualTrigger());
    EXPECT_EQ(&sim->triggerModel(), &kfManualTrigger());
    EXPECT_EQ(&fifo.triggerModel(), &kfManualTrigger());
    fifo.triggerEnable(true);

    ASSERT_TRUE(fifo.start(0));
    kcAcquireInfo info;
    kcAcqFifo::CompleteArgs args;
    args.acqInfo = &info;
    ASSERT_TRUE(fifo.completeAcq(args)->isBound());
    EXPECT_EQ(info.acquisitionNumber(), 1UL);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(reports[0].acquisitions, 1UL);
    EXPECT_FALSE(reports[0].failed);
    EXPECT_EQ(reports[0].settings, kcColorCameraSettings(0.02, 0.25, 0.125));
    EXPECT_TRUE(reports[0].image->isBound());

    // A failure code is seen even when the caller asks for no report; a
    // timeout passes through unchanged and is not counted.
    kcSimFifoFaults faults;
    faults.failureCodeAt = 1;
    faults.timeoutAt = 2;
    sim->setFaults(faults);
    ASSERT_TRUE(fifo.start(0));
    fifo.completeAcq(kcAcqFifo::CompleteArgs());
    ASSERT_TRUE(fifo.start(0));
    EXPECT_THROW(fifo.completeAcq(args), kcTimeout::Expired);
    ASSERT_EQ(reports.size(), 2U);
    EXPECT_TRUE(reports[1].failed);
    EXPECT_EQ(fifo.acquisitions(), 2UL);

    EXPECT_THROW(kcProgressFifo(kcPtrHandle<kcAcqFifo>(), nullptr), kcBadPointer);
}

TEST(ProgressFifo, CountsEveryImageOfABalancingRunAndLeavesTheResultAsWithoutIt) {
    kcPtrHandle<kcSimFifo> sim = smallSimFifo();
    unsigned long calls = 0;
    kcColorBalanceResult viaWrapper, direct;
    kfColorBalance(kcPtrHandle<kcAcqFifo>(new kcProgressFifo(sim, [&](const kcAcqProgress&) { ++calls; })),
                   kcColorBalanceParams(), viaWrapper, nullptr, 0);
    EXPECT_GT(calls, 1UL);
    EXPECT_EQ(calls, sim->acquisitionCount());
    EXPECT_EQ(calls, viaWrapper.acqInfo().acquisitionNumber());
    kfColorBalance(smallSimFifo(), kcColorBalanceParams(), direct, nullptr, 0);
    EXPECT_EQ(viaWrapper, direct);
}
