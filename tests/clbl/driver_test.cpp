// tests/clbl/driver_test.cpp
// kfColorBalance on the simulated FIFO: the order of its FIFO writes, the
// result it fills, every way the search can end or fail, and whole
// balancing runs on the built-in scenes.
#include "clbl/driver.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "clbl/internal/fifo_handling.h"
#include "clbl/measurement.h"
#include "clbl/tool.h"
#include "tests/support/fifo_test_support.h"
#include "tests/support/search_runner.h"
#include "toolkit/diag/diag_object.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
kcColorCameraSettings settingsOf(const kcColorBalanceResult& r) {
    return kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness());
}

// The tool's result after `steps` images, driven by hand on a twin of
// makeFifo() prepared the way the driver prepares it.
kcColorCameraSettings handResult(const kcColorBalanceParams& params, int steps) {
    kcPtrHandle<kcSimFifo> twin = makeFifo();
    twin->triggerModel(kfManualTrigger());
    if (params.usePositive8BitLut()) twin->inputLut(kc8BitInputLutProp::positive8BitLut);
    kcColorBalanceTool tool;
    const auto acquire = [&](const kcColorCameraSettings& s) {
        kcAcquireInfo info;
        bool failed = false;
        return kfAcquireWithSettings(twin, s, info, failed);
    };
    return search_runner::runSearch(tool, params, kcColorCameraSettings(params.exposureRange().start(), 0.0, 0.0),
                                    steps, acquire, false)
        .result;
}

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
    const std::wstring newTimeout = L"timeout: timeout expired", writeFails = L"failure: simulated failure of property";
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
        {"first fails", [](F& f) { f.failureCodeAt = 1; f.failureCode = 17; }, 0, L"", 0, 17, 1, 1},
        {"later fails", [](F& f) { f.failureCodeAt = 40; f.failureCode = 18; }, 0, L"", 39, 18, 40, 40},
        {"unbound", [](F& f) { f.unboundImageAt = 25; }, 0, L"", 24, 0, 25, 25},
        {"timeout 1", [](F& f) { f.timeoutAt = 1; }, 0, newTimeout, 0, 0, 0, 1},
        {"timeout 3", [](F& f) { f.timeoutAt = 3; }, kDiag, newTimeout, 2, 0, 2, 3},
        {"timeout 50", [](F& f) { f.timeoutAt = 50; }, 0, newTimeout, 49, 0, 49, 50},
        {"manual model write", [](F& f) { f.failWriteAt = 2; }, 0, writeFails + L" write 2", -1, 0, 0, 0},
        {"positive LUT write", [](F& f) { f.failWriteAt = 4; }, 0, writeFails + L" write 4", -1, 0, 0, 0},
        {"switch timeout", [](F&) {}, kSwitchTimesOut, L"timeout: trigger model switch timed out", -1, 0, 0, 0},
        {"attention", [](F& f) { f.attentionFailureBefore = 3; f.attentionStatus = 1234; }, 0,
         L"failure: operation failed with status 1234", -1, 0, 0, 2},
        {"restore fails unwinding",
         [](F& f) { f.attentionFailureBefore = 2; f.attentionStatus = 99; f.failWriteAt = 1; f.failWriteKind = lut; },
         kOwnLut, L"failure: operation failed with status 99", -1, 0, 0, 1},
        {"restore fails", [](F& f) { f.failureCodeAt = 1; f.failWriteAt = 1; f.failWriteKind = lut; }, kOwnLut,
         writeFails + L" write 1", 0, 1, 1, 1},
        {"diagnostics timeout", [](F& f) { f.failureCodeAt = 1; f.timeoutAt = 2; }, kDiag,
         L"timeout: simulated timeout of acquisition 2", 0, 1, 1, 2},
        {"diagnostics empty", [](F& f) { f.failureCodeAt = 1; f.emptyHandleAt = 2; }, kDiag, L"bad pointer: ", 0, 1, 1, 2},
        {"diagnostics unbound", [](F& f) { f.failureCodeAt = 2; f.unboundImageAt = 1; }, kDiag, L"", 0, 0, 1, 2},
        {"diagnostics fails", [](F& f) { f.failureCodeAt = 1; f.unboundImageAt = 2; }, kDiag, L"", 0, 1, 1, 2},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kcPtrHandle<ExpiringTriggerFifo> fifo = makeFifo<ExpiringTriggerFifo>();
        const FifoState found = stateOf(*fifo);
        kcColorBalanceParams params;
        params.usePositive8BitLut((c.setup & kOwnLut) == 0);
        kcSimFifoFaults faults;
        c.arm(faults);
        fifo->setFaults(faults);
        fifo->armed = (c.setup & kSwitchTimesOut) != 0;
        kcDiagObject diag;
        result = kcColorBalanceResult();
        result.exposure(-7.0);
        std::wstring seen;
        try {
            kfColorBalance(fifo, params, result, (c.setup & kDiag) != 0 ? &diag : nullptr, kRecordResultImages);
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
            EXPECT_EQ(settingsOf(result), handResult(params, c.steps));
            if (c.steps > 30) {
                EXPECT_NE(settingsOf(result), handResult(params, 0)) << "the search had not moved";
            }
            EXPECT_EQ(result.acqInfo().failure().code(), c.code);
            EXPECT_EQ(result.acqInfo().acquisitionNumber(), c.acqNumber);
            EXPECT_EQ(result.positive8BitLut(), params.usePositive8BitLut());
        }
        EXPECT_EQ(fifo->acquisitionCount(), c.acquisitions);
        EXPECT_EQ(diag.numRecords(), 0);
        EXPECT_EQ(stateOf(*fifo), found);
    }
}

// An identity LUT found on the FIFO, kept, is reported as positive; the
// table above covers an inverted one, kept or replaced.
TEST(ColorBalance, BalancesEveryBuiltInSceneInOneCallAndHandsTheFifoBack) {
    constexpr long kSceneWidth = 160;
    constexpr long kSceneHeight = 120;
    constexpr std::int32_t kDarkLevel = 5;  // the search's dark level
    kcColorBalanceParams params;
    params.usePositive8BitLut(false);
    for (const std::string& scene : kcSimScene::builtInNames()) {
        SCOPED_TRACE(scene);
        kcPtrHandle<kcSimFifo> fifo = makeFifo(scene.c_str(), 2, kSceneWidth, kSceneHeight);
        fifo->inputLut(kc8BitInputLutProp::positive8BitLut);
        FifoState expected = stateOf(*fifo);
        kcColorBalanceResult result;
        kfColorBalance(fifo, params, result, nullptr, 0);
        expected.contrast[1] = expected.contrast[0];  // every tap gets channel 0's values back
        expected.brightness[1] = expected.brightness[0];
        EXPECT_EQ(stateOf(*fifo), expected);
        EXPECT_EQ(result.acqInfo().failure().code(), 0);
        EXPECT_TRUE(result.positive8BitLut());
        // One settings write per acquisition plus the restore's: the settings
        // proposed with done() are not written.
        long exposureWrites = 0;
        for (const kcSimFifoWrite& w : fifo->writeLog()) exposureWrites += w.kind == kcSimFifoWrite::eExposure;
        EXPECT_EQ(exposureWrites, static_cast<long>(fifo->acquisitionCount()) + 1);

        kcSimCamera camera(kcSimScene::builtIn(scene, kSceneWidth, kSceneHeight), kSeed, false);
        const auto goodFraction = [&](const kcColorCameraSettings& s) {
            return kfCountGoodPels(camera.render(s), kDarkLevel) / double(kSceneWidth * kSceneHeight);
        };
        const double before = goodFraction(kcColorCameraSettings(params.exposureRange().start(), 0.0, 0.0));
        const double after = goodFraction(settingsOf(result));
        EXPECT_GT(after, before);
    }
}

// One call runs the same search as a caller of the tool: on a FIFO over the
// camera of the golden HDR search it takes the same images and finds the
// same result (contrast and brightness differ there).
TEST(ColorBalance, FindsWhatTheToolFindsOnTheSameImages) {
    kcPtrHandle<kcSimFifo> fifo(new kcSimFifo(kcSimCamera(kcSimScene::builtIn("hdr", 320, 240), 3)));
    kcColorBalanceResult result;
    kfColorBalance(fifo, kcColorBalanceParams(), result, nullptr, 0);
    const search_runner::SearchRun run = search_runner::runSimulatedSearch(
        "hdr", 320, 240, 3, kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0), 20000);
    EXPECT_EQ(settingsOf(result), run.result);
    EXPECT_EQ(static_cast<long>(fifo->acquisitionCount()), run.images);

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
    kcColorBalanceParams keepLut;
    keepLut.usePositive8BitLut(false);
    kfColorBalance(nearly, keepLut, result, nullptr, 0);
    EXPECT_FALSE(result.positive8BitLut());
}
