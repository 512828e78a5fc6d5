// tests/apps/progress_fifo_test.cpp
// kcProgressFifo forwards every call to the FIFO it wraps and reports each
// completed acquisition; kfImageAtResult takes one image through it.
#include "apps/colorbal/progress_fifo.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "apps/colorbal/result_image.h"
#include "clbl/driver.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/sim/sim_fifo.h"

namespace {
// Counts the reads of exposure, contrast and brightness (a camera round
// trip each on a real camera).
struct ReadCountingSimFifo : kcSimFifo {
    using kcSimFifo::exposure;
    using kcSimFifo::kcSimFifo;
    double exposure() const override { return ++reads, kcSimFifo::exposure(); }
    double contrast(Channel c) const override { return ++reads, kcSimFifo::contrast(c); }
    double brightness(Channel c) const override { return ++reads, kcSimFifo::brightness(c); }
    mutable int reads = 0;
};

kcPtrHandle<ReadCountingSimFifo> smallSimFifo() {
    kcSimFifoOptions options;
    options.numTaps = 2;
    return kcPtrHandle<ReadCountingSimFifo>(
        new ReadCountingSimFifo(kcSimCamera(kcSimScene::builtIn("chart", 64, 48), 3), options));
}
}  // namespace

TEST(ProgressFifo, ForwardsEveryCallAndReportsEachCompletedAcquisition) {
    kcPtrHandle<ReadCountingSimFifo> sim = smallSimFifo();
    std::vector<kcAcqProgress> reports;
    kcProgressFifo fifo(sim, [&](const kcAcqProgress& p) { reports.push_back(p); });
    kcAcqProps& props = fifo.properties();
    props.exposureProp().exposure(0.02);
    props.contrastBrightnessProp().setContrastEx(0.25, kcContrastBrightnessProp::kAllTaps);
    props.contrastBrightnessProp().setBrightnessEx(0.125, kcContrastBrightnessProp::kAllTaps);
    // Another tap's value is not channel 0's.
    props.contrastBrightnessProp().setBrightnessEx(0.5, 1);
    props.inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
    EXPECT_EQ(sim->writeLog().size(), 5U);
    EXPECT_EQ(props.contrastBrightnessProp().brightness(kcContrastBrightnessProp::eChannel1), 0.5);
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
    // The settings reported are the ones written: the camera is not asked.
    EXPECT_EQ(sim->reads, 1);

    // A failure code is seen even when the caller asks for no report; a
    // timeout passes through unchanged and is not counted. A refused write
    // forgets the value: the next report reads it, once.
    kcSimFifoFaults faults;
    faults.failureCodeAt = 1;
    faults.timeoutAt = 2;
    faults.failWriteAt = 1;
    sim->setFaults(faults);
    EXPECT_THROW(props.exposureProp().exposure(0.5), kcException);
    ASSERT_TRUE(fifo.start(0));
    fifo.completeAcq(kcAcqFifo::CompleteArgs());
    ASSERT_TRUE(fifo.start(0));
    EXPECT_THROW(fifo.completeAcq(args), kcTimeout::Expired);
    ASSERT_EQ(reports.size(), 2U);
    EXPECT_TRUE(reports[1].failed);
    EXPECT_EQ(reports[1].settings, kcColorCameraSettings(0.02, 0.25, 0.125));
    EXPECT_EQ(sim->reads, 2);
    EXPECT_EQ(fifo.acquisitions(), 2UL);

    EXPECT_THROW(kcProgressFifo(kcPtrHandle<kcAcqFifo>(), nullptr), kcBadPointer);
}

TEST(ProgressFifo, CountsEveryImageOfABalancingRunAndLeavesTheResultAsWithoutIt) {
    kcPtrHandle<ReadCountingSimFifo> sim = smallSimFifo();
    unsigned long calls = 0;
    kcColorBalanceResult viaWrapper, direct;
    kfColorBalance(kcPtrHandle<kcAcqFifo>(new kcProgressFifo(sim, [&](const kcAcqProgress&) { ++calls; })),
                   kcColorBalanceParams(), viaWrapper, nullptr, 0);
    EXPECT_GT(calls, 1UL);
    EXPECT_EQ(calls, sim->acquisitionCount());
    EXPECT_EQ(calls, viaWrapper.acqInfo().acquisitionNumber());
    // Only the driver's own capture of the settings it puts back reads them.
    EXPECT_EQ(sim->reads, 3);
    kfColorBalance(smallSimFifo(), kcColorBalanceParams(), direct, nullptr, 0);
    EXPECT_EQ(viaWrapper, direct);
}

// The image at a result is taken at the result's settings, and the FIFO is
// handed back as found on every way out.
TEST(ProgressFifo, TakesTheResultImageAtTheResultAndHandsTheFifoBackOnEveryWayOut) {
    kcColorBalanceResult result;
    result.exposure(0.01);
    result.contrast(0.5);
    result.brightness(0.25);
    result.positive8BitLut(true);
    std::vector<unsigned char> inverted(256);
    for (std::size_t i = 0; i < inverted.size(); ++i) inverted[i] = static_cast<unsigned char>(255 - i);
    // Fault, at which acquisition or write; a timeout or a refused write
    // throws, and only an acquisition without a fault gives an image.
    for (const auto& [fault, at] : {std::pair<unsigned long kcSimFifoFaults::*, unsigned long>{nullptr, 0},
                                    {&kcSimFifoFaults::failureCodeAt, 1},
                                    {&kcSimFifoFaults::timeoutAt, 1},
                                    {&kcSimFifoFaults::failWriteAt, 4}}) {
        kcPtrHandle<ReadCountingSimFifo> sim = smallSimFifo();
        sim->exposure(0.002);
        sim->setContrastEx(0.125, kcContrastBrightnessProp::kAllTaps);
        sim->inputLut(inverted.data());
        sim->triggerEnable(false);
        sim->triggerModel(kfFreeRunTrigger());
        kcSimFifoFaults faults;
        if (fault) faults.*fault = at;
        sim->setFaults(faults);
        std::vector<kcAcqProgress> reports;
        const kcPtrHandle<kcAcqFifo> fifo(
            new kcProgressFifo(sim, [&](const kcAcqProgress& p) { reports.push_back(p); }));
        kcAcquireInfo info;
        const bool throws = faults.timeoutAt + faults.failWriteAt > 0;
        if (throws) {
            EXPECT_THROW(kfImageAtResult(fifo, result, info), kcException) << at;
        } else {
            EXPECT_EQ(kfImageAtResult(fifo, result, info).isNull(), fault != nullptr) << at;
        }
        ASSERT_EQ(reports.size(), throws ? 0U : 1U) << at;
        for (const kcAcqProgress& p : reports) EXPECT_EQ(p.settings, kcColorCameraSettings(0.01, 0.5, 0.25));
        EXPECT_EQ(
            std::tuple(sim->exposure(), sim->contrast(kcContrastBrightnessProp::eChannel1),
                       sim->brightness(kcContrastBrightnessProp::eChannel1),
                       sim->inputLut(kc8BitInputLutProp::eLutChannel0), sim->triggerEnable(), &sim->triggerModel()),
            std::tuple(0.002, 0.125, 0.0, inverted, false, &kfFreeRunTrigger()))
            << at;
    }
}
