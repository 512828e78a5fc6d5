// tests/apps/progress_fifo_test.cpp
// kcProgressFifo forwards every call to the FIFO it wraps and reports each
// completed acquisition; kfImageAtResult takes one image through it.
#include "apps/colorbal/progress_fifo.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "apps/colorbal/result_image.h"
#include "clbl/driver.h"
#include "tests/support/fifo_test_support.h"

namespace {
// Counts the reads of exposure, contrast and brightness (a camera round
// trip each on a real camera).
struct ReadCountingSimFifo : kcSimFifo {
    using kcSimFifo::kcSimFifo;
    double exposure() const override { return ++reads, kcSimFifo::exposure(); }
    double contrast(Channel c) const override { return ++reads, kcSimFifo::contrast(c); }
    double brightness(Channel c) const override { return ++reads, kcSimFifo::brightness(c); }
    mutable int reads = 0;
};

}  // namespace

TEST(ProgressFifo, ForwardsEveryCallReportsEachAcquisitionAndTakesTheResultImageHandingTheFifoBack) {
    kcPtrHandle<ReadCountingSimFifo> sim = fifo_test::makeFifo<ReadCountingSimFifo>("chart", 2);
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
    fifo.triggerModel(kfManualTrigger());
    fifo.triggerEnable(true);
    EXPECT_TRUE(sim->triggerEnable() && fifo.triggerEnable());
    EXPECT_TRUE(&sim->triggerModel() == &kfManualTrigger() && &fifo.triggerModel() == &kfManualTrigger());

    ASSERT_TRUE(fifo.start(0));
    kcAcquireInfo info;
    const kcAcqFifo::CompleteArgs args{.acqInfo = &info};
    ASSERT_TRUE(fifo.completeAcq(args)->isBound());
    EXPECT_EQ(info.acquisitionNumber(), 1UL);
    ASSERT_EQ(reports.size(), 1U);
    EXPECT_EQ(std::tuple(reports[0].acquisitions, reports[0].failed, reports[0].settings, reports[0].image->isBound()),
              std::tuple(1UL, false, kcColorCameraSettings(0.02, 0.25, 0.125), true));
    // The settings reported are the ones written: the camera is not asked.
    EXPECT_EQ(sim->reads, 1);

    // A failure code is seen even when the caller asks for no report; a
    // timeout passes through unchanged and is not counted. A refused write
    // forgets the value: the next report reads it, once.
    sim->setFaults({.failureCodeAt = 1, .timeoutAt = 2, .failWriteAt = 1});
    EXPECT_THROW(props.exposureProp().exposure(0.5), kcException);
    ASSERT_TRUE(fifo.start(0));
    fifo.completeAcq(kcAcqFifo::CompleteArgs());
    ASSERT_TRUE(fifo.start(0));
    EXPECT_THROW(fifo.completeAcq(args), kcTimeout::Expired);
    ASSERT_EQ(reports.size(), 2U);
    EXPECT_EQ(std::tuple(reports[1].failed, reports[1].settings, sim->reads, fifo.acquisitions()),
              std::tuple(true, kcColorCameraSettings(0.02, 0.25, 0.125), 2, 2UL));
    EXPECT_THROW(kcProgressFifo(kcPtrHandle<kcAcqFifo>(), nullptr), kcBadPointer);

    // A whole balancing run is counted image by image and gives the result it
    // gives without the wrapper; the image at a result is taken at the
    // result's settings, and the FIFO is handed back as found on every way out.
    kcPtrHandle<ReadCountingSimFifo> whole = fifo_test::makeFifo<ReadCountingSimFifo>("chart", 2);
    unsigned long calls = 0;
    kcColorBalanceResult viaWrapper, direct;
    kfColorBalance(kcPtrHandle<kcAcqFifo>(new kcProgressFifo(whole, [&](const kcAcqProgress&) { ++calls; })),
                   kcColorBalanceParams(), viaWrapper, nullptr, 0);
    EXPECT_EQ(std::tuple(calls > 1, whole->acquisitionCount(), viaWrapper.acqInfo().acquisitionNumber()),
              std::tuple(true, calls, calls));
    // Only the driver's own capture of the settings it puts back reads them.
    EXPECT_EQ(whole->reads, 3);
    kfColorBalance(fifo_test::makeFifo<ReadCountingSimFifo>("chart", 2), kcColorBalanceParams(), direct, nullptr, 0);
    EXPECT_EQ(viaWrapper, direct);

    kcColorBalanceResult result;
    result.exposure(0.01);
    result.contrast(0.5);
    result.brightness(0.25);
    result.positive8BitLut(true);
    // Fault, at which acquisition or write; a timeout or a refused write
    // throws, and only an acquisition without a fault gives an image.
    for (const auto& [fault, at] : {std::pair<unsigned long kcSimFifoFaults::*, unsigned long>{nullptr, 0},
                                    {&kcSimFifoFaults::failureCodeAt, 1},
                                    {&kcSimFifoFaults::timeoutAt, 1},
                                    {&kcSimFifoFaults::failWriteAt, 4}}) {
        kcPtrHandle<ReadCountingSimFifo> sim = fifo_test::makeFifo<ReadCountingSimFifo>("chart", 2);
        const fifo_test::FifoState before = fifo_test::stateOf(*sim);
        kcSimFifoFaults faults;
        if (fault) faults.*fault = at;
        sim->setFaults(faults);
        std::vector<kcAcqProgress> reports;
        const kcPtrHandle<kcAcqFifo> fifo(new kcProgressFifo(sim, [&](const auto& p) { reports.push_back(p); }));
        kcAcquireInfo info;
        const bool throws = faults.timeoutAt + faults.failWriteAt > 0;
        if (throws) {
            EXPECT_THROW(kfImageAtResult(fifo, result, info), kcException) << at;
        } else {
            EXPECT_EQ(kfImageAtResult(fifo, result, info).isNull(), fault != nullptr) << at;
        }
        ASSERT_EQ(reports.size(), throws ? 0U : 1U) << at;
        for (const kcAcqProgress& p : reports) EXPECT_EQ(p.settings, kcColorCameraSettings(0.01, 0.5, 0.25));
        EXPECT_EQ(fifo_test::stateOf(*sim), before) << at;
    }
}
