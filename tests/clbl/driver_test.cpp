// tests/clbl/driver_test.cpp
// kfColorBalance on the simulated FIFO: the result it fills, every way the
// search can end or fail, and a whole balancing run.
#include "clbl/driver.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "clbl/measurement.h"
#include "tests/support/fifo_test_support.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
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
}  // namespace

// Each way a run can end: what the caller sees (empty for a normal return,
// else the exception's kind and the start of its message), whether the
// result was filled and with what, and the FIFO back as found.
TEST(ColorBalance, EachFailureReachesTheCallerAsDocumentedWithTheFifoRestored) {
    kcColorBalanceResult result;
    result.exposure(-7.0);  // no run produces it: tells whether the driver wrote the result
    EXPECT_THROW(kfColorBalance(kcPtrHandle<kcAcqFifo>(), kcColorBalanceParams(), result, nullptr, 0), kcBadPointer);
    EXPECT_EQ(result.exposure(), -7.0);

    using F = kcSimFifoFaults;
    const std::wstring newTimeout = L"timeout: timeout expired";
    static constexpr kcSimFifoWrite::Kind lut = kcSimFifoWrite::eInputLut;  // only the restore writes it
    enum { kOwnLut = 1, kDiag = 2, kSwitchTimesOut = 4 };
    struct Case {
        const char* what;
        void (*arm)(kcSimFifoFaults&);
        int setup;
        std::wstring seen;
        int steps;  // images the tool saw before the result was filled; -1: untouched
        long code;
        unsigned long acqNumber, acquisitions;
    };
    // clang-format off
    const Case cases[] = {
        {"later fails", [](F& f) { f.failureCodeAt = 40; f.failureCode = 18; }, 0, L"", 39, 18, 40, 40},
        {"unbound", [](F& f) { f.unboundImageAt = 25; }, 0, L"", 24, 0, 25, 25},
        {"timeout 3", [](F& f) { f.timeoutAt = 3; }, kDiag, newTimeout, 2, 0, 2, 3},
        {"timeout 50", [](F& f) { f.timeoutAt = 50; }, 0, newTimeout, 49, 0, 49, 50},
        {"switch timeout", [](F&) {}, kSwitchTimesOut, L"timeout: trigger model switch timed out", -1, 0, 0, 0},
        {"attention", [](F& f) { f.attentionFailureBefore = 3; f.attentionStatus = 1234; }, 0,
         L"failure: operation failed with status 1234", -1, 0, 0, 2},
        {"restore fails unwinding",
         [](F& f) { f.attentionFailureBefore = 2; f.attentionStatus = 99; f.failWriteAt = 1; f.failWriteKind = lut; },
         kOwnLut, L"failure: operation failed with status 99", -1, 0, 0, 1},
        {"diagnostics timeout", [](F& f) { f.failureCodeAt = 1; f.timeoutAt = 2; }, kDiag,
         L"timeout: simulated timeout of acquisition 2", 0, 1, 1, 2},
        {"diagnostics empty", [](F& f) { f.failureCodeAt = 1; f.emptyHandleAt = 2; }, kDiag, L"bad pointer: ", 0, 1, 1, 2},
        {"diagnostics unbound", [](F& f) { f.failureCodeAt = 2; f.unboundImageAt = 1; }, kDiag, L"", 0, 0, 1, 2},
        {"diagnostics fails", [](F& f) { f.failureCodeAt = 1; f.unboundImageAt = 2; }, kDiag, L"", 0, 1, 1, 2},
    };
    // clang-format on
    kcColorBalanceParams params[2];  // replacing the LUT, keeping it
    params[1].usePositive8BitLut(false);
    const std::vector<kcColorCameraSettings> hand[2] = {handResults(makeFifo(), params[0], 50),
                                                        handResults(makeFifo(), params[1], 50)};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kcPtrHandle<ExpiringTriggerFifo> fifo = makeFifo<ExpiringTriggerFifo>();
        const FifoState found = stateOf(*fifo);
        const int own = c.setup & kOwnLut;
        kcSimFifoFaults faults;
        c.arm(faults);
        fifo->setFaults(faults);
        fifo->armed = (c.setup & kSwitchTimesOut) != 0;
        kcDiagObject diag;
        result = kcColorBalanceResult();
        result.exposure(-7.0);
        std::wstring seen;
        try {
            kfColorBalance(fifo, params[own], result, (c.setup & kDiag) != 0 ? &diag : nullptr, kRecordResultImages);
        } catch (const kcTimeout::Expired& e) {
            seen = L"timeout: " + e.message();
        } catch (const kcStatusFailure& e) {
            seen = L"failure: " + e.message();
        } catch (const kcBadPointer& e) {
            seen = L"bad pointer: " + e.message();
        }
        fifo->setFaults(kcSimFifoFaults());
        fifo->armed = false;
        EXPECT_TRUE(seen.starts_with(c.seen) && seen.empty() == c.seen.empty())
            << std::string(seen.begin(), seen.end());
        if (c.steps < 0) {
            EXPECT_EQ(result.exposure(), -7.0);
        } else {
            EXPECT_EQ(settingsOf(result), hand[own].at(static_cast<std::size_t>(c.steps)));
            EXPECT_TRUE(c.steps < 30 || settingsOf(result) != hand[own][0]) << "the search had not moved";
            EXPECT_EQ(result.acqInfo().failure().code(), c.code);
            EXPECT_EQ(result.acqInfo().acquisitionNumber(), c.acqNumber);
            EXPECT_EQ(result.positive8BitLut(), own == 0);
        }
        EXPECT_EQ(fifo->acquisitionCount(), c.acquisitions);
        EXPECT_EQ(diag.numRecords(), 0);
        EXPECT_EQ(stateOf(*fifo), found);
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
    kcSimCamera camera(kcSimScene::builtIn("hdr", 320, 240), 3, false);
    const auto good = [&camera](const kcColorCameraSettings& s) { return kfCountGoodPels(camera.render(s), 5); };
    EXPECT_GT(good(run.result), good(start));

    // A LUT kept by the search that differs from the identity in its first
    // entry only is not reported as the identity.
    kcPtrHandle<kcSimFifo> nearly = makeFifo();
    std::array<unsigned char, 256> lut{};
    for (std::size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<unsigned char>(i);
    lut[0] = 1;
    nearly->inputLut(lut.data());
    kcSimFifoFaults faults;
    faults.failureCodeAt = 1;
    faults.failureCode = 1;
    nearly->setFaults(faults);
    kfColorBalance(nearly, keepLut, result, nullptr, 0);
    EXPECT_FALSE(result.positive8BitLut());
}
