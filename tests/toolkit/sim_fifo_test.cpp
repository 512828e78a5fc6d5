// The simulated FIFO: properties applied to its images, taps, triggering,
// the write log and every injected fault.
#include "toolkit/sim/sim_fifo.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "toolkit/foundation/exceptions.h"
#include "toolkit/sys/attention.h"

namespace {
constexpr long kWidth = 64;
constexpr long kHeight = 48;

kcSimCamera quietCamera(const char* scene = "chart") {
    return kcSimCamera(kcSimScene::builtIn(scene, kWidth, kHeight), 1, false);
}

kcPtrHandle<kcAcqImage> acquire(kcAcqFifo& fifo, kcAcquireInfo* info = nullptr) {
    fifo.start(0);
    kcAcqFifo::CompleteArgs args;
    args.acqInfo = info;
    return fifo.completeAcq(args);
}

kc3PlanePelBuffer acquirePlanes(kcAcqFifo& fifo) { return acquire(fifo)->get3PlanePelBuffer(); }

long planeSum(const kc3PlanePelBuffer& image) {
    long sum = 0;
    for (int p = 0; p < 3; ++p)
        for (long y = image.window().top(); y < image.window().bottom(); ++y) {
            const unsigned char* row = image.plane(p).pointToRow(y);
            for (long x = 0; x < image.width(); ++x) sum += row[x];
        }
    return sum;
}

unsigned char pel(const kc3PlanePelBuffer& image, int plane, long x, long y) {
    return image.plane(plane).pointToRow(y)[x];
}

std::vector<std::string> described(const std::vector<kcSimFifoWrite>& log) {
    std::vector<std::string> out;
    for (const kcSimFifoWrite& w : log) out.push_back(w.describe());
    return out;
}
}  // namespace

TEST(SimFifo, RendersWithItsCurrentPropertiesAndLut) {
    kcSimFifo fifo(quietCamera());
    fifo.exposure(0.005);
    fifo.setContrastEx(0.4, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.1, kcContrastBrightnessProp::kAllTaps);
    const kc3PlanePelBuffer base = acquirePlanes(fifo);
    ASSERT_TRUE(base.isBound());
    EXPECT_EQ(base.width(), kWidth);
    EXPECT_EQ(base.height(), kHeight);

    // The same camera model, driven directly, gives the same pels.
    kcSimCamera reference = quietCamera();
    const kc3PlanePelBuffer expected = reference.render(fifo.currentExposure());
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < kHeight; ++y)
            for (long x = 0; x < kWidth; ++x) ASSERT_EQ(pel(base, p, x, y), pel(expected, p, x, y));

    fifo.exposure(0.01);
    const long brighterByExposure = planeSum(acquirePlanes(fifo));
    EXPECT_GT(brighterByExposure, planeSum(base));
    fifo.exposure(0.005);
    fifo.setContrastEx(0.6, kcContrastBrightnessProp::kAllTaps);
    EXPECT_GT(planeSum(acquirePlanes(fifo)), planeSum(base));
    fifo.setContrastEx(0.4, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.3, kcContrastBrightnessProp::kAllTaps);
    EXPECT_GT(planeSum(acquirePlanes(fifo)), planeSum(base));
    fifo.setBrightnessEx(0.1, kcContrastBrightnessProp::kAllTaps);

    std::array<unsigned char, 256> inverted{};
    for (int i = 0; i < 256; ++i) inverted[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
    fifo.inputLut(inverted.data());
    EXPECT_EQ(fifo.inputLut(kc8BitInputLutProp::eLutChannel0),
              std::vector<unsigned char>(inverted.begin(), inverted.end()));
    const kc3PlanePelBuffer negative = acquirePlanes(fifo);
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < kHeight; ++y)
            for (long x = 0; x < kWidth; ++x) ASSERT_EQ(pel(negative, p, x, y), 255 - pel(base, p, x, y));

    EXPECT_THROW(fifo.inputLut(static_cast<kc8BitInputLutProp::LutChannel>(1)), kcBadArgument);
    EXPECT_THROW(fifo.inputLut(nullptr), kcBadPointer);
    EXPECT_THROW(fifo.exposure(-0.001), kcBadArgument);
    EXPECT_DOUBLE_EQ(fifo.exposure(), 0.005);
}

TEST(SimFifo, TapsCarryTheirOwnContrastAndBrightness) {
    kcSimFifoOptions options;
    options.numTaps = 2;
    kcSimFifo fifo(quietCamera("grey"), options);
    fifo.setContrastEx(0.2, 0);
    fifo.setContrastEx(0.8, 1);
    EXPECT_EQ(fifo.contrast(kcContrastBrightnessProp::eChannel0), 0.2);
    EXPECT_EQ(fifo.contrast(kcContrastBrightnessProp::eChannel1), 0.8);
    kc3PlanePelBuffer image = acquirePlanes(fifo);
    EXPECT_LT(pel(image, 1, 0, kHeight / 2), pel(image, 1, kWidth - 1, kHeight / 2));

    fifo.setContrastEx(0.5, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.4, 0);
    EXPECT_EQ(fifo.contrast(kcContrastBrightnessProp::eChannel1), 0.5);
    EXPECT_EQ(fifo.brightness(kcContrastBrightnessProp::eChannel0), 0.4);
    EXPECT_EQ(fifo.brightness(kcContrastBrightnessProp::eChannel1), 0.0);
    image = acquirePlanes(fifo);
    EXPECT_GT(pel(image, 1, 0, kHeight / 2), pel(image, 1, kWidth - 1, kHeight / 2));

    EXPECT_THROW(fifo.setContrastEx(0.5, 2), kcBadArgument);
    EXPECT_THROW(fifo.setBrightnessEx(0.5, -2), kcBadArgument);
    EXPECT_THROW(fifo.contrast(kcContrastBrightnessProp::eChannel2), kcBadArgument);
    options.numTaps = 0;
    EXPECT_THROW(kcSimFifo(quietCamera(), options), kcBadArgument);
}

TEST(SimFifo, CompletesOnlyStartedAndTriggeredAcquisitions) {
    kcSimFifo fifo(quietCamera());
    EXPECT_EQ(&fifo.triggerModel(), &kfFreeRunTrigger());
    EXPECT_TRUE(fifo.triggerEnable());
    EXPECT_THROW(fifo.completeAcq(kcAcqFifo::CompleteArgs()), kcTimeout::Expired);

    fifo.start(0);
    fifo.triggerEnable(false);
    EXPECT_THROW(fifo.completeAcq(kcAcqFifo::CompleteArgs()), kcTimeout::Expired);
    EXPECT_EQ(fifo.pendingAcquisitions(), 1);
    fifo.triggerModel(kfHardwareTrigger());
    fifo.triggerEnable(true);
    EXPECT_THROW(fifo.completeAcq(kcAcqFifo::CompleteArgs()), kcTimeout::Expired);
    fifo.triggerModel(kfManualTrigger());
    kcAcquireInfo info;
    kcAcqFifo::CompleteArgs args;
    args.acqInfo = &info;
    EXPECT_TRUE(fifo.completeAcq(args)->isBound());
    EXPECT_EQ(info.acquisitionNumber(), 1u);
    EXPECT_EQ(fifo.acquisitionCount(), 1u);
    const double firstStamp = info.timeStamp();
    acquire(fifo, &info);
    EXPECT_EQ(info.acquisitionNumber(), 2u);
    EXPECT_GT(info.timeStamp(), firstStamp);

    args.timeout = -1.0;
    fifo.start(0);
    EXPECT_THROW(fifo.completeAcq(args), kcBadArgument);
    for (long i = fifo.pendingAcquisitions(); i < kcSimFifo::kMaxPending; ++i) EXPECT_TRUE(fifo.start(0));
    EXPECT_FALSE(fifo.start(0));
}

TEST(SimFifo, LogsEveryPropertyWriteInOrderIncludingRefusedOnes) {
    kcSimFifo fifo(quietCamera());
    fifo.triggerEnable(false);
    fifo.triggerModel(kfManualTrigger());
    fifo.inputLut(kc8BitInputLutProp::positive8BitLut);
    fifo.exposure(0.02);
    fifo.setContrastEx(0.25, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.5, 0);
    EXPECT_THROW(fifo.exposure(-1.0), kcBadArgument);
    fifo.triggerEnable(true);
    EXPECT_EQ(described(fifo.writeLog()),
              (std::vector<std::string>{"triggerEnable(false)", "triggerModel(manual)", "inputLut(positive)",
                                        "exposure(0.02)", "contrast(0.25, all)", "brightness(0.5, tap 0)",
                                        "exposure(-1)", "triggerEnable(true)"}));
    const std::vector<kcSimFifoWrite>& log = fifo.writeLog();
    EXPECT_EQ(log[1].triggerModel, &kfManualTrigger());
    EXPECT_EQ(log[3].value, 0.02);
    EXPECT_EQ(log[4].tap, kcContrastBrightnessProp::kAllTaps);
    EXPECT_TRUE(log[5].applied);
    EXPECT_FALSE(log[6].applied);
    // Reads and acquisitions are not writes.
    fifo.clearWriteLog();
    (void)fifo.exposure();
    (void)fifo.inputLut(kc8BitInputLutProp::eLutChannel0);
    acquire(fifo);
    EXPECT_TRUE(fifo.writeLog().empty());
}

TEST(SimFifo, AcquisitionFaultsFireExactlyOnTheirAcquisition) {
    kcSimFifo fifo(quietCamera());
    acquire(fifo);  // counting starts when the faults are set
    kcSimFifoFaults faults;
    faults.failureCodeAt = 2;
    faults.failureCode = 42;
    faults.unboundImageAt = 3;
    faults.emptyHandleAt = 4;
    faults.timeoutAt = 5;
    fifo.setFaults(faults);
    for (unsigned long n = 1; n <= 6; ++n) {
        kcAcquireInfo info;
        if (n == 5) {
            EXPECT_THROW(acquire(fifo, &info), kcTimeout::Expired);
            EXPECT_EQ(info.acquisitionNumber(), 0u) << "a timed-out completion fills nothing";
            continue;
        }
        const kcPtrHandle<kcAcqImage> image = acquire(fifo, &info);
        EXPECT_EQ(info.failure().code(), n == 2 ? 42 : 0) << "acquisition " << n;
        EXPECT_EQ(info.acquisitionNumber(), n + 1);
        EXPECT_EQ(image.isNull(), n == 4) << "acquisition " << n;
        if (!image.isNull()) {
            EXPECT_EQ(image->isBound(), n != 3) << "acquisition " << n;
        }
    }
    faults = kcSimFifoFaults();
    faults.failureCodeAt = 1;
    faults.failureCode = 0;
    EXPECT_THROW(fifo.setFaults(faults), kcBadArgument);
}

TEST(SimFifo, WriteFaultsFireOnTheCountedWriteAndLeaveThePropertyUnchanged) {
    kcSimFifo fifo(quietCamera());
    kcSimFifoFaults faults;
    faults.failWriteAt = 3;
    fifo.setFaults(faults);
    fifo.triggerEnable(false);
    fifo.exposure(0.02);
    EXPECT_THROW(fifo.triggerModel(kfManualTrigger()), kcStatusFailure);
    EXPECT_EQ(&fifo.triggerModel(), &kfFreeRunTrigger());
    EXPECT_FALSE(fifo.writeLog().back().applied);
    fifo.triggerModel(kfManualTrigger());
    EXPECT_EQ(&fifo.triggerModel(), &kfManualTrigger());

    // Only contrast writes count, and from the second on every one fails.
    faults = kcSimFifoFaults();
    faults.failWriteAt = 2;
    faults.failWriteKind = kcSimFifoWrite::eContrast;
    faults.failLaterWrites = true;
    fifo.setFaults(faults);
    fifo.exposure(0.03);
    fifo.setContrastEx(0.1, kcContrastBrightnessProp::kAllTaps);
    fifo.setBrightnessEx(0.1, kcContrastBrightnessProp::kAllTaps);
    EXPECT_THROW(fifo.setContrastEx(0.2, kcContrastBrightnessProp::kAllTaps), kcStatusFailure);
    EXPECT_THROW(fifo.setContrastEx(0.3, 0), kcStatusFailure);
    EXPECT_EQ(fifo.contrast(kcContrastBrightnessProp::eChannel0), 0.1);
    fifo.setBrightnessEx(0.2, kcContrastBrightnessProp::kAllTaps);
    EXPECT_EQ(fifo.brightness(kcContrastBrightnessProp::eChannel0), 0.2);
}

TEST(SimFifo, AttentionFaultReportsOnlyBeforeItsAcquisitionAndGoesWithTheFifo) {
    {
        kcSimFifo fifo(quietCamera());
        kcSimFifoFaults faults;
        faults.attentionFailureBefore = 3;
        faults.attentionStatus = 99;
        fifo.setFaults(faults);
        for (int n = 1; n <= 2; ++n) {
            EXPECT_EQ(ksys_attention_check(), 0) << "before acquisition " << n;
            acquire(fifo);
        }
        EXPECT_EQ(ksys_attention_check(), 99);
        EXPECT_EQ(ksys_attention_check(), 99) << "every poll before the third acquisition fails";
        acquire(fifo);
        EXPECT_EQ(ksys_attention_check(), 0);
        fifo.setFaults(faults);  // re-armed: counting restarts
        acquire(fifo);
        acquire(fifo);
        EXPECT_EQ(ksys_attention_check(), 99);
    }
    EXPECT_EQ(ksys_attention_check(), 0);
}

TEST(SimFifo, IsSharedThroughABaseHandleAndOffersItsProperties) {
    kcPtrHandle<kcSimFifo> sim(new kcSimFifo(quietCamera()));
    kcPtrHandle<kcAcqFifo> fifo(sim);
    EXPECT_EQ(fifo.useCount(), 2);
    EXPECT_EQ(fifo.get(), sim.get());
    fifo->properties().exposureProp().exposure(0.015);
    EXPECT_EQ(sim->exposure(), 0.015);
    EXPECT_EQ(fifo->properties().contrastBrightnessProp().numTaps(), 1);
    EXPECT_TRUE(fifo->properties().has8BitInputLutProp());
    sim = kcPtrHandle<kcSimFifo>();
    EXPECT_EQ(fifo.useCount(), 1);
    EXPECT_TRUE(acquire(*fifo)->isBound());

    kcSimFifoOptions options;
    options.exposureProp = false;
    kcSimFifo partial(quietCamera(), options);
    EXPECT_FALSE(partial.properties().hasExposureProp());
    EXPECT_THROW(partial.properties().exposureProp(), kcPropertyNotSupported);
}

namespace {
// A FIFO that forwards everything to another one and counts completions.
class CountingFifo : public kcAcqFifo {
public:
    explicit CountingFifo(kcPtrHandle<kcAcqFifo> inner) : inner_(std::move(inner)) {}
    bool start(unsigned long flags) override { return inner_->start(flags); }
    kcPtrHandle<kcAcqImage> completeAcq(const CompleteArgs& args) override {
        ++completions;
        return inner_->completeAcq(args);
    }
    bool triggerEnable() const override { return inner_->triggerEnable(); }
    void triggerEnable(bool enable) override { inner_->triggerEnable(enable); }
    const kcTriggerModel& triggerModel() const override { return inner_->triggerModel(); }
    void triggerModel(const kcTriggerModel& model) override { inner_->triggerModel(model); }
    kcAcqProps& properties() override { return inner_->properties(); }

    int completions = 0;

private:
    kcPtrHandle<kcAcqFifo> inner_;
};
}  // namespace

TEST(SimFifo, CanBeWrappedByAForwardingFifo) {
    kcPtrHandle<kcSimFifo> sim(new kcSimFifo(quietCamera()));
    CountingFifo wrapper{kcPtrHandle<kcAcqFifo>(sim)};
    wrapper.properties().exposureProp().exposure(0.02);
    wrapper.triggerModel(kfManualTrigger());
    EXPECT_TRUE(acquire(wrapper)->isBound());
    EXPECT_EQ(wrapper.completions, 1);
    EXPECT_EQ(sim->acquisitionCount(), 1u);
    EXPECT_EQ(sim->writeLog().size(), 2u);
}
