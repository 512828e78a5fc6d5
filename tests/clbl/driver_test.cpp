// tests/clbl/driver_test.cpp
// kfColorBalance on the simulated FIFO: a whole balancing run, and every way
// a run can end or fail: the FIFO's faults at chosen acquisitions, a failing
// property write at every write (the restore's included), and a failing
// restore write while another error unwinds. Each run is checked for what
// the caller sees, whether the result was filled exactly when it should be,
// and whether the FIFO's properties are back as found.
#include "clbl/driver.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <typeinfo>
#include <vector>

#include "tests/support/fifo_test_support.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {

enum Setup { kOwnLut = 1, kDiag = 2, kSwitchTimesOut = 4 };

// A small fast search: exposure only, over a narrow range, on a tiny scene.
kcColorBalanceParams sweepParams(bool positiveLut = true) {
    kcColorBalanceParams params;
    params.isContrastEnabled(false);
    params.isBrightnessEnabled(false);
    params.exposureRange(kcRange(0.005, 0.04));
    params.usePositive8BitLut(positiveLut);
    return params;
}

// A result no run produces, to tell whether the driver wrote it.
kcColorBalanceResult sentinel() {
    kcColorBalanceResult r;
    r.exposure(-1.0);
    return r;
}

bool isSentinel(const kcColorBalanceResult& r) { return r == sentinel() && r.acqInfo() == kcAcquireInfo(); }

// A FIFO whose switch to the manual trigger model times out when armed.
class ExpiringTriggerFifo : public kcSimFifo {
public:
    using kcSimFifo::kcSimFifo;
    using kcSimFifo::triggerModel;
    void triggerModel(const kcTriggerModel& model) override {
        if (armed && &model == &kfManualTrigger()) throw kcTimeout::Expired(L"trigger model switch timed out");
        kcSimFifo::triggerModel(model);
    }
    bool armed = false;
};

// A FIFO unlike the balancing configuration, with two taps of the same
// contrast and brightness (the restore puts one value on every tap).
kcPtrHandle<ExpiringTriggerFifo> sweepFifo() {
    kcPtrHandle<ExpiringTriggerFifo> fifo = makeFifo<ExpiringTriggerFifo>("chart", 2);
    fifo->setContrastEx(0.4, kcContrastBrightnessProp::kAllTaps);
    fifo->setBrightnessEx(0.1, kcContrastBrightnessProp::kAllTaps);
    fifo->clearWriteLog();
    return fifo;
}

// What the caller saw ("return", or the type of the exception caught), and
// what the run left behind.
struct DriverRun {
    std::string seen;
    std::wstring message;
    kcColorBalanceResult result = sentinel();
    FifoState found, after;
    std::vector<kcSimFifoWrite> log;
    unsigned long acquisitions = 0;
    long diagRecords = 0;
};

DriverRun runDriver(const kcSimFifoFaults& faults, int setup = 0) {
    kcPtrHandle<ExpiringTriggerFifo> fifo = sweepFifo();
    DriverRun run;
    run.found = stateOf(*fifo);
    fifo->setFaults(faults);
    fifo->armed = (setup & kSwitchTimesOut) != 0;
    kcDiagObject diag;
    try {
        kfColorBalance(fifo, sweepParams((setup & kOwnLut) == 0), run.result, (setup & kDiag) != 0 ? &diag : nullptr,
                       kRecordResultImages);
        run.seen = "return";
    } catch (const kcException& e) {  // anything else fails the test as it escapes
        run.seen = typeid(e).name();
        run.message = e.message();
    }
    fifo->setFaults(kcSimFifoFaults());
    fifo->armed = false;
    run.after = stateOf(*fifo);
    run.log = fifo->writeLog();
    run.acquisitions = fifo->acquisitionCount();
    run.diagRecords = diag.numRecords();
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

TEST(FaultSweep, AFailingPropertyWriteAtEveryWriteEndsAsTheFailureTableSays) {
    const Reference& ref = reference();
    ASSERT_EQ(ref.run.seen, "return");
    for (std::size_t w = 1; w <= ref.run.log.size(); ++w) {
        const kcSimFifoWrite::Kind kind = ref.run.log[w - 1].kind;
        SCOPED_TRACE("write " + std::to_string(w) + " (" + kcSimFifoWrite::kindName(kind) + ")");
        const DriverRun run = runDriver({.failWriteAt = w});
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
                const DriverRun run = runDriver(
                    {.emptyHandleAt = timeout ? 0 : n, .timeoutAt = timeout ? n : 0, .failWriteAt = failingWrite});
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

// Each fault at a chosen acquisition, and a run on no FIFO at all: what the
// caller sees, whether the result was filled and with what, and the FIFO
// back as found.
TEST(ColorBalance, EachFailureReachesTheCallerAsDocumentedWithTheFifoRestored) {
    kcColorBalanceResult result = sentinel();
    EXPECT_THROW(kfColorBalance(kcPtrHandle<kcAcqFifo>(), kcColorBalanceParams(), result, nullptr, 0), kcBadPointer);
    EXPECT_TRUE(isSentinel(result));

    const std::string returns = "return", expired = typeid(kcTimeout::Expired).name(),
                      failure = typeid(kcStatusFailure).name(), badPointer = typeid(kcBadPointer).name();
    static constexpr kcSimFifoWrite::Kind lut = kcSimFifoWrite::eInputLut;  // only the restore writes it
    struct Case {
        const char* what;
        kcSimFifoFaults faults;
        int setup;
        const std::string& seen;
        std::wstring message;  // its start
        int steps;             // images the tool saw before the result was filled; -1: untouched
        long code;
        unsigned long acqNumber, acquisitions;
    };
    // clang-format off
    const Case cases[] = {
        {"fails", {.failureCodeAt = 4, .failureCode = 18}, 0, returns, L"", 3, 18, 4, 4},
        {"unbound", {.unboundImageAt = 3}, 0, returns, L"", 2, 0, 3, 3},
        {"timeout", {.timeoutAt = 3}, kDiag, expired, L"timeout expired", 2, 0, 2, 3},
        {"switch timeout", {}, kSwitchTimesOut, expired, L"trigger model switch timed out", -1, 0, 0, 0},
        {"attention", {.attentionFailureBefore = 3, .attentionStatus = 1234}, 0, failure,
         L"operation failed with status 1234", -1, 0, 0, 2},
        {"restore fails unwinding", {.attentionFailureBefore = 2, .attentionStatus = 99, .failWriteAt = 1,
         .failWriteKind = lut}, kOwnLut, failure, L"operation failed with status 99", -1, 0, 0, 1},
        {"diagnostics timeout", {.failureCodeAt = 1, .timeoutAt = 2}, kDiag, expired,
         L"simulated timeout of acquisition 2", 0, 1, 1, 2},
        {"diagnostics empty", {.failureCodeAt = 1, .emptyHandleAt = 2}, kDiag, badPointer, L"", 0, 1, 1, 2},
        {"diagnostics unbound", {.failureCodeAt = 2, .unboundImageAt = 1}, kDiag, returns, L"", 0, 0, 1, 2},
        {"diagnostics fails", {.failureCodeAt = 1, .unboundImageAt = 2}, kDiag, returns, L"", 0, 1, 1, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DriverRun run = runDriver(c.faults, c.setup);
        EXPECT_EQ(run.seen, c.seen);
        EXPECT_TRUE(run.message.starts_with(c.message)) << std::string(run.message.begin(), run.message.end());
        if (c.steps < 0) {
            EXPECT_TRUE(isSentinel(run.result));
        } else {
            expectFilledAfter(run, static_cast<std::size_t>(c.steps));
            EXPECT_EQ(run.result.acqInfo().failure().code(), c.code);
            EXPECT_EQ(run.result.acqInfo().acquisitionNumber(), c.acqNumber);
        }
        EXPECT_EQ(run.acquisitions, c.acquisitions);
        EXPECT_EQ(run.diagRecords, 0);
        EXPECT_EQ(run.after, run.found);
    }
}

// One call runs the same search as a caller of the tool: on a FIFO over the
// camera of the golden HDR search it takes the same images, writing the
// settings once for each, and finds the same result (contrast and brightness
// differ there), under which more pels are good. The identity LUT it found
// and kept is reported as positive; the table above covers an inverted one.
TEST(ColorBalance, FindsWhatTheToolFindsOnTheSameImages) {
    const kcColorCameraSettings start(1e-6, 0.0, 0.0);
    kcColorBalanceParams keepLut;
    keepLut.usePositive8BitLut(false);
    kcPtrHandle<kcSimFifo> fifo(new kcSimFifo(kcSimCamera(kcSimScene::builtIn("hdr", 320, 240), 3)));
    fifo->inputLut(kc8BitInputLutProp::positive8BitLut);
    kcColorBalanceResult result;
    kfColorBalance(fifo, keepLut, result, nullptr, 0);
    const search_runner::SearchRun run = search_runner::runSimulatedSearch("hdr", 320, 240, 3, keepLut, start, 20000);
    EXPECT_EQ(settingsOf(result), run.result);
    EXPECT_EQ(static_cast<long>(fifo->acquisitionCount()), run.images);
    EXPECT_TRUE(result.positive8BitLut());
    // The settings proposed with done() are not written; the restore writes once more.
    long exposureWrites = 0;
    for (const kcSimFifoWrite& w : fifo->writeLog()) exposureWrites += w.kind == kcSimFifoWrite::eExposure;
    EXPECT_EQ(exposureWrites, run.images + 1);

    // A LUT kept by the search that differs from the identity in its first
    // entry only is not reported as the identity.
    kcPtrHandle<kcSimFifo> nearly = makeFifo();
    std::vector<unsigned char> lut(kc8BitInputLutProp::positive8BitLut, kc8BitInputLutProp::positive8BitLut + 256);
    lut[0] = 1;
    nearly->inputLut(lut.data());
    nearly->setFaults({.failureCodeAt = 1});  // ends the search at once
    kfColorBalance(nearly, keepLut, result, nullptr, 0);
    EXPECT_FALSE(result.positive8BitLut());
}
