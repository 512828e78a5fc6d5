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
#include <vector>

#include "clbl/driver.h"
#include "clbl/fifo_handling.h"
#include "clbl/tool.h"
#include "fifo_test_support.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {

constexpr std::uint64_t kSweepSeed = 21;
constexpr long kTaps = 2;
constexpr long kAttentionStatus = 4321;  // recognisable in the attention failure's message
constexpr long kFailureCode = 77;

// A small fast search: exposure only, over a narrow range, on a tiny scene.
kcColorBalanceParams sweepParams() {
    kcColorBalanceParams params;
    params.isContrastEnabled(false);
    params.isBrightnessEnabled(false);
    params.exposureRange(kcRange(0.005, 0.04));
    return params;
}

// A FIFO unlike the balancing configuration (triggering off, hardware
// trigger, inverted LUT), with two taps of the same contrast and brightness
// so that every tap must come back as found.
kcPtrHandle<kcSimFifo> makeSweepFifo() {
    kcSimFifoOptions options;
    options.numTaps = kTaps;
    options.exposure = 0.02;
    options.contrast = 0.4;
    options.brightness = 0.1;
    kcPtrHandle<kcSimFifo> fifo(
        new kcSimFifo(kcSimCamera(kcSimScene::builtIn("chart", kWidth, kHeight), kSweepSeed, true), options));
    fifo->inputLut(invertedLut().data());
    fifo->triggerModel(kfHardwareTrigger());
    fifo->triggerEnable(false);
    fifo->clearWriteLog();
    return fifo;
}

// A result no run produces, to tell whether the driver wrote it.
kcColorBalanceResult sentinel() {
    kcColorBalanceResult r;
    r.exposure(-1.0);
    r.contrast(-2.0);
    r.brightness(-3.0);
    r.positive8BitLut(false);
    kcAcquireInfo info;
    info.acquisitionNumber(123456);
    r.acqInfo(info);
    return r;
}

bool isSentinel(const kcColorBalanceResult& r) { return r == sentinel() && r.acqInfo().acquisitionNumber() == 123456; }

kcColorCameraSettings settingsOf(const kcColorBalanceResult& r) {
    return kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness());
}

enum class Seen { normalReturn, timeout, badPointer, statusFailure, other };

const char* name(Seen seen) {
    switch (seen) {
        case Seen::normalReturn:
            return "normal return";
        case Seen::timeout:
            return "kcTimeout::Expired";
        case Seen::badPointer:
            return "kcBadPointer";
        case Seen::statusFailure:
            return "kcStatusFailure";
        default:
            return "another exception";
    }
}

struct DriverRun {
    Seen seen = Seen::other;
    std::wstring message;
    kcColorBalanceResult result = sentinel();
    FifoState found;
    FifoState after;
    std::vector<kcSimFifoWrite> log;
    unsigned long acquisitions = 0;
};

DriverRun runDriver(const kcSimFifoFaults& faults, const kcColorBalanceParams& params = sweepParams()) {
    kcPtrHandle<kcSimFifo> fifo = makeSweepFifo();
    DriverRun run;
    run.found = stateOf(*fifo);
    fifo->setFaults(faults);
    try {
        kfColorBalance(fifo, params, run.result, nullptr, 0);
        run.seen = Seen::normalReturn;
    } catch (const kcTimeout::Expired& e) {
        run.seen = Seen::timeout;
        run.message = e.message();
    } catch (const kcBadPointer& e) {
        run.seen = Seen::badPointer;
        run.message = e.message();
    } catch (const kcStatusFailure& e) {
        run.seen = Seen::statusFailure;
        run.message = e.message();
    } catch (...) {
        run.seen = Seen::other;
    }
    fifo->setFaults(kcSimFifoFaults());
    run.after = stateOf(*fifo);
    run.log = fifo->writeLog();
    run.acquisitions = fifo->acquisitionCount();
    return run;
}

// The fault-free run, and the tool's result after each number of images of
// it (driven by hand on an identically seeded FIFO prepared as the driver
// prepares it, so it sees the same images).
struct Reference {
    DriverRun run;
    unsigned long acquisitions = 0;  // N_end
    std::size_t writes = 0;          // W_end
    std::size_t restoreStart = 0;    // index of the restore's first write
    std::vector<kcColorCameraSettings> resultAfter;
};

const Reference& reference() {
    static const Reference ref = [] {
        Reference r;
        r.run = runDriver(kcSimFifoFaults());
        r.acquisitions = r.run.acquisitions;
        r.writes = r.run.log.size();
        r.restoreStart = r.writes - restoreKinds().size();

        kcPtrHandle<kcSimFifo> twin = makeSweepFifo();
        twin->triggerModel(kfManualTrigger());
        twin->triggerEnable(true);
        twin->inputLut(kc8BitInputLutProp::positive8BitLut);
        const kcColorBalanceParams params = sweepParams();
        kcColorBalanceTool tool;
        kcColorCameraSettings settings =
            tool.init(params, kcColorCameraSettings(params.exposureRange().start(), 0.0, 0.0));
        r.resultAfter.push_back(tool.result());
        while (!tool.done()) {
            kcAcquireInfo info;
            bool failed = false;
            kcPtrHandle<kcAcqImage> image = kfAcquireWithSettings(twin, settings, info, failed);
            settings = tool.nextSettingsFromImages(image, nullptr, 0);
            r.resultAfter.push_back(tool.result());
        }
        return r;
    }();
    return ref;
}

// The FIFO state with the property that a write of `kind` sets blanked out,
// for comparing all the others after that write failed.
FifoState without(FifoState s, kcSimFifoWrite::Kind kind) {
    switch (kind) {
        case kcSimFifoWrite::eTriggerEnable:
            s.triggerEnable = false;
            break;
        case kcSimFifoWrite::eTriggerModel:
            s.triggerModel = nullptr;
            break;
        case kcSimFifoWrite::eInputLut:
            s.lut.clear();
            break;
        case kcSimFifoWrite::eExposure:
            s.exposure = 0.0;
            break;
        case kcSimFifoWrite::eContrast:
            s.contrast.clear();
            break;
        case kcSimFifoWrite::eBrightness:
            s.brightness.clear();
            break;
    }
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
    ASSERT_EQ(ref.run.seen, Seen::normalReturn);
    EXPECT_EQ(ref.run.after, ref.run.found);
    EXPECT_EQ(settingsOf(ref.run.result), ref.resultAfter.back());
    EXPECT_EQ(ref.acquisitions + 1, ref.resultAfter.size());
    EXPECT_EQ(kindsOf(ref.run.log, ref.restoreStart), restoreKinds());
    // Short enough to sweep every position in well under a second.
    EXPECT_GE(ref.acquisitions, 5u);
    EXPECT_LE(ref.acquisitions, 80u);
    RecordProperty("acquisitions", static_cast<int>(ref.acquisitions));
    RecordProperty("writes", static_cast<int>(ref.writes));
}

TEST(FaultSweep, EveryAcquisitionFaultAtEveryAcquisitionEndsAsTheFailureTableSays) {
    const Reference& ref = reference();
    for (unsigned long n = 1; n <= ref.acquisitions; ++n) {
        SCOPED_TRACE("acquisition " + std::to_string(n));
        const std::size_t before = n - 1;  // images the tool had seen

        // A failure code: the search ends normally with the failure reported.
        kcSimFifoFaults faults;
        faults.failureCodeAt = n;
        faults.failureCode = kFailureCode;
        DriverRun run = runDriver(faults);
        EXPECT_EQ(run.seen, Seen::normalReturn) << name(run.seen);
        expectFilledAfter(run, before);
        EXPECT_EQ(run.result.acqInfo().failure().code(), kFailureCode);
        EXPECT_EQ(run.acquisitions, n);
        EXPECT_EQ(run.after, run.found);

        // An unbound image: the same, without a failure code.
        faults = kcSimFifoFaults();
        faults.unboundImageAt = n;
        run = runDriver(faults);
        EXPECT_EQ(run.seen, Seen::normalReturn) << name(run.seen);
        expectFilledAfter(run, before);
        EXPECT_EQ(run.result.acqInfo().failure().code(), 0);
        EXPECT_EQ(run.acquisitions, n);
        EXPECT_EQ(run.after, run.found);

        // An empty handle: kcBadPointer, result untouched.
        faults = kcSimFifoFaults();
        faults.emptyHandleAt = n;
        run = runDriver(faults);
        EXPECT_EQ(run.seen, Seen::badPointer) << name(run.seen);
        EXPECT_TRUE(isSentinel(run.result));
        EXPECT_EQ(run.after, run.found);

        // A timeout: the result is filled, then a new timeout is thrown.
        faults = kcSimFifoFaults();
        faults.timeoutAt = n;
        run = runDriver(faults);
        EXPECT_EQ(run.seen, Seen::timeout) << name(run.seen);
        EXPECT_EQ(run.message, kcTimeout::Expired().message());
        expectFilledAfter(run, before);
        EXPECT_EQ(run.result.acqInfo().failure().code(), 0);
        EXPECT_EQ(run.after, run.found);

        // A failing attention check before it: that failure, result untouched.
        faults = kcSimFifoFaults();
        faults.attentionFailureBefore = n;
        faults.attentionStatus = kAttentionStatus;
        run = runDriver(faults);
        EXPECT_EQ(run.seen, Seen::statusFailure) << name(run.seen);
        EXPECT_NE(run.message.find(std::to_wstring(kAttentionStatus)), std::wstring::npos);
        EXPECT_TRUE(isSentinel(run.result));
        EXPECT_EQ(run.acquisitions, n - 1);
        EXPECT_EQ(run.after, run.found);
    }
}

TEST(FaultSweep, AFailingPropertyWriteAtEveryWriteEndsAsTheFailureTableSays) {
    const Reference& ref = reference();
    for (std::size_t w = 1; w <= ref.writes; ++w) {
        const kcSimFifoWrite::Kind kind = ref.run.log[w - 1].kind;
        SCOPED_TRACE("write " + std::to_string(w) + " (" + kcSimFifoWrite::kindName(kind) + ")");
        kcSimFifoFaults faults;
        faults.failWriteAt = w;
        const DriverRun run = runDriver(faults);
        // Whatever failed, the caller hears of it.
        EXPECT_EQ(run.seen, Seen::statusFailure) << name(run.seen);
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
            expectFilledAfter(run, ref.acquisitions);
            EXPECT_EQ(without(run.after, kind), without(run.found, kind));
            EXPECT_EQ(kindsOf(run.log, ref.restoreStart), restoreKinds());
        }
    }
}

TEST(FaultSweep, AFailingRestoreWriteWhileAnErrorUnwindsLetsThatErrorThrough) {
    const Reference& ref = reference();
    // Writes before the restore: the preparation's, then five per acquisition.
    const std::size_t preparation = ref.restoreStart - 5 * ref.acquisitions;
    for (unsigned long n : {1ul, ref.acquisitions / 2 + 1, ref.acquisitions}) {
        for (std::size_t step = 0; step < restoreKinds().size(); ++step) {
            const kcSimFifoWrite::Kind kind = restoreKinds()[step];
            SCOPED_TRACE("acquisition " + std::to_string(n) + ", restore step " + std::to_string(step + 1) + " (" +
                         kcSimFifoWrite::kindName(kind) + ")");
            const std::size_t failingWrite = preparation + 5 * n + step + 1;

            // A timeout unwinds: it reaches the caller with the result filled.
            kcSimFifoFaults faults;
            faults.timeoutAt = n;
            faults.failWriteAt = failingWrite;
            DriverRun run = runDriver(faults);
            EXPECT_EQ(run.seen, Seen::timeout) << name(run.seen);
            expectFilledAfter(run, n - 1);
            ASSERT_EQ(run.log.size(), failingWrite + restoreKinds().size() - step - 1);
            EXPECT_FALSE(run.log[failingWrite - 1].applied);
            EXPECT_EQ(run.log[failingWrite - 1].kind, kind);
            EXPECT_EQ(without(run.after, kind), without(run.found, kind));

            // An empty handle unwinds: kcBadPointer, result untouched.
            faults = kcSimFifoFaults();
            faults.emptyHandleAt = n;
            faults.failWriteAt = failingWrite;
            run = runDriver(faults);
            EXPECT_EQ(run.seen, Seen::badPointer) << name(run.seen);
            EXPECT_TRUE(isSentinel(run.result));
            EXPECT_FALSE(run.log[failingWrite - 1].applied);
            EXPECT_EQ(without(run.after, kind), without(run.found, kind));
        }
    }
}
