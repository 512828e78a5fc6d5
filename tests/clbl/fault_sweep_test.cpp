// tests/clbl/fault_sweep_test.cpp
// kfColorBalance under every fault of the simulated FIFO at every position
// of a short run: each acquisition fault at every acquisition, a failing
// property write at every write (the restore's included), and a failing
// restore write while a timeout or another error unwinds. Each run is
// checked for what the caller sees, whether the result was filled exactly
// when it should be, and whether the FIFO's properties are back as found.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <typeinfo>
#include <vector>

#include "clbl/driver.h"
#include "tests/support/fifo_test_support.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {

// A small fast search: exposure only, over a narrow range, on a tiny scene.
kcColorBalanceParams sweepParams() {
    kcColorBalanceParams params;
    params.isContrastEnabled(false);
    params.isBrightnessEnabled(false);
    params.exposureRange(kcRange(0.005, 0.04));
    return params;
}

// A result no run produces, to tell whether the driver wrote it.
kcColorBalanceResult sentinel() {
    kcColorBalanceResult r;
    r.exposure(-1.0);
    return r;
}

bool isSentinel(const kcColorBalanceResult& r) { return r == sentinel() && r.acqInfo() == kcAcquireInfo(); }

// A FIFO unlike the balancing configuration, with two taps of the same
// contrast and brightness (the restore puts one value on every tap).
kcPtrHandle<kcSimFifo> sweepFifo() {
    kcPtrHandle<kcSimFifo> fifo = makeFifo("chart", 2);
    fifo->setContrastEx(0.4, kcContrastBrightnessProp::kAllTaps);
    fifo->setBrightnessEx(0.1, kcContrastBrightnessProp::kAllTaps);
    fifo->clearWriteLog();
    return fifo;
}

// What the caller saw: "return", or the type of the exception caught.
struct DriverRun {
    std::string seen;
    std::wstring message;
    kcColorBalanceResult result = sentinel();
    FifoState found, after;
    std::vector<kcSimFifoWrite> log;
    unsigned long acquisitions = 0;
};

DriverRun runDriver(kcSimFifoFaults faults) {
    kcPtrHandle<kcSimFifo> fifo = sweepFifo();
    DriverRun run;
    run.found = stateOf(*fifo);
    fifo->setFaults(faults);
    try {
        kfColorBalance(fifo, sweepParams(), run.result, nullptr, 0);
        run.seen = "return";
    } catch (const kcException& e) {  // anything else fails the test as it escapes
        run.seen = typeid(e).name();
        run.message = e.message();
    }
    fifo->setFaults(kcSimFifoFaults());
    run.after = stateOf(*fifo);
    run.log = fifo->writeLog();
    run.acquisitions = fifo->acquisitionCount();
    return run;
}

// The fault-free run, and the tool's result after each number of its images.
struct Reference {
    DriverRun run;
    std::size_t restoreStart = 0;  // index of the restore's first write
    std::vector<kcColorCameraSettings> resultAfter;
};

const Reference& reference() {
    static const Reference ref = [] {
        Reference r;
        r.run = runDriver(kcSimFifoFaults());
        r.restoreStart = r.run.log.size() - kRestoreKinds.size();
        r.resultAfter = handResults(sweepFifo(), sweepParams(), 1000);
        return r;
    }();
    return ref;
}

// The FIFO state with the property that a write of `kind` sets blanked out,
// for comparing all the others after that write failed.
FifoState without(FifoState s, kcSimFifoWrite::Kind kind) {
    using W = kcSimFifoWrite;
    if (kind == W::eTriggerEnable) s.triggerEnable = false;
    if (kind == W::eTriggerModel) s.triggerModel = nullptr;
    if (kind == W::eInputLut) s.lut.clear();
    if (kind == W::eExposure) s.exposure = 0.0;
    if (kind == W::eContrast) s.contrast.clear();
    if (kind == W::eBrightness) s.brightness.clear();
    return s;
}

// The result a run that ended after `images` images must report.
void expectFilledAfter(const DriverRun& run, std::size_t images) {
    ASSERT_FALSE(isSentinel(run.result)) << "the result was not filled";
    ASSERT_LT(images, reference().resultAfter.size());
    EXPECT_EQ(settingsOf(run.result), reference().resultAfter[images]);
    EXPECT_TRUE(run.result.positive8BitLut());
}

}  // namespace

TEST(FaultSweep, TheFaultFreeRunIsShortAndHandsTheFifoBack) {
    const Reference& ref = reference();
    ASSERT_EQ(ref.run.seen, "return");
    EXPECT_EQ(ref.run.after, ref.run.found);
    EXPECT_EQ(settingsOf(ref.run.result), ref.resultAfter.back());
    EXPECT_EQ(ref.run.acquisitions + 1, ref.resultAfter.size());
    EXPECT_EQ(kindsOf(ref.run.log, ref.restoreStart), kRestoreKinds);
    // Short enough to sweep every position quickly, long enough to matter.
    EXPECT_TRUE(ref.run.acquisitions >= 5u && ref.run.acquisitions <= 80u) << ref.run.acquisitions;
}

TEST(FaultSweep, AFailingPropertyWriteAtEveryWriteEndsAsTheFailureTableSays) {
    const Reference& ref = reference();
    for (std::size_t w = 1; w <= ref.run.log.size(); ++w) {
        const kcSimFifoWrite::Kind kind = ref.run.log[w - 1].kind;
        SCOPED_TRACE("write " + std::to_string(w) + " (" + kcSimFifoWrite::kindName(kind) + ")");
        kcSimFifoFaults faults;
        faults.failWriteAt = w;
        const DriverRun run = runDriver(faults);
        // Whatever failed, the caller hears of it.
        EXPECT_EQ(run.seen, typeid(kcStatusFailure).name());
        EXPECT_NE(run.message.find(L"property write"), std::wstring::npos) << "not the write's failure";
        if (w <= ref.restoreStart) {
            // While preparing or searching: the result is untouched and the
            // FIFO restored in full.
            EXPECT_TRUE(isSentinel(run.result));
            EXPECT_EQ(run.after, run.found);
        } else {
            // In the restore after a finished search: the result is filled;
            // every property but the one refused is back, and every restore
            // step was still attempted.
            expectFilledAfter(run, ref.run.acquisitions);
            EXPECT_EQ(without(run.after, kind), without(run.found, kind));
            EXPECT_EQ(kindsOf(run.log, ref.restoreStart), kRestoreKinds);
        }
    }
}

TEST(FaultSweep, AFailingRestoreWriteWhileAnErrorUnwindsLetsThatErrorThrough) {
    const Reference& ref = reference();
    const unsigned long last = ref.run.acquisitions;
    // Writes before the restore: the preparation's, then five per acquisition.
    const std::size_t preparation = ref.restoreStart - 5 * last;
    for (unsigned long n : {1ul, last / 2 + 1, last}) {
        for (std::size_t step = 0; step < kRestoreKinds.size(); ++step) {
            const kcSimFifoWrite::Kind kind = kRestoreKinds[step];
            const std::size_t failingWrite = preparation + 5 * n + step + 1;
            for (bool timeout : {true, false}) {
                SCOPED_TRACE("acquisition " + std::to_string(n) + ", restore step " + std::to_string(step + 1));
                // A timeout reaches the caller with the result filled, an
                // empty handle as kcBadPointer with the result untouched.
                kcSimFifoFaults faults;
                (timeout ? faults.timeoutAt : faults.emptyHandleAt) = n;
                faults.failWriteAt = failingWrite;
                const DriverRun run = runDriver(faults);
                EXPECT_EQ(run.seen, timeout ? typeid(kcTimeout::Expired).name() : typeid(kcBadPointer).name());
                if (timeout) expectFilledAfter(run, n - 1);
                EXPECT_EQ(isSentinel(run.result), !timeout);
                // The rest of the restore still ran.
                ASSERT_EQ(run.log.size(), failingWrite + kRestoreKinds.size() - step - 1);
                EXPECT_FALSE(run.log[failingWrite - 1].applied);
                EXPECT_EQ(run.log[failingWrite - 1].kind, kind);
                EXPECT_EQ(without(run.after, kind), without(run.found, kind));
            }
        }
    }
}
