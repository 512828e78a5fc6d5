// tests/clbl/driver_test.cpp
// kfColorBalance on the simulated FIFO: the order of its FIFO writes, the
// result it fills, every way the search can end or fail, and whole
// balancing runs on the built-in scenes.
#include "clbl/driver.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

#include "clbl/color_measurement.h"
#include "clbl/fifo_handling.h"
#include "clbl/tool.h"
#include "fifo_test_support.h"
#include "toolkit/foundation/exceptions.h"

using namespace fifo_test;

namespace {
// A result no run could produce, to tell whether the driver wrote it.
kcColorBalanceResult untouchedResult() {
    kcColorBalanceResult r;
    r.exposure(-7.0);
    r.contrast(-8.0);
    r.brightness(-9.0);
    r.positive8BitLut(true);
    kcAcquireInfo info;
    info.acquisitionNumber(999);
    r.acqInfo(info);
    return r;
}

bool isUntouched(const kcColorBalanceResult& r) {
    return r == untouchedResult() && r.acqInfo().acquisitionNumber() == 999;
}

// The tool's result after `steps` images, driven by hand on a twin of
// makeFifo(scene) prepared the way the driver prepares it.
kcColorCameraSettings handResult(const kcColorBalanceParams& params, int steps, const char* scene = "chart") {
    kcPtrHandle<kcSimFifo> twin = makeFifo(scene);
    twin->triggerModel(kfManualTrigger());
    if (params.usePositive8BitLut()) twin->inputLut(kc8BitInputLutProp::positive8BitLut);
    kcColorBalanceTool tool;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings(params.exposureRange().start(), 0.0, 0.0));
    for (int i = 0; i < steps; ++i) {
        kcAcquireInfo info;
        bool failed = false;
        kcPtrHandle<kcAcqImage> image = kfAcquireWithSettings(twin, settings, info, failed);
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
    }
    return tool.result();
}

kcColorCameraSettings settingsOf(const kcColorBalanceResult& r) {
    return kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness());
}

// Balances with `faults` armed; returns what the FIFO was found in.
FifoState runWithFaults(kcPtrHandle<kcSimFifo>& fifo, const kcSimFifoFaults& faults, kcColorBalanceResult& result,
                        const kcColorBalanceParams& params = kcColorBalanceParams()) {
    const FifoState found = stateOf(*fifo);
    fifo->setFaults(faults);
    kfColorBalance(fifo, params, result, nullptr, 0);
    return found;
}

// The saver's restore puts contrast and brightness on all taps; with one
// tap the state found and the state restored are the same.
void expectRestored(const kcSimFifo& fifo, const FifoState& found) { EXPECT_EQ(stateOf(fifo), found); }

// A FIFO whose trigger-model writes throw kcTimeout::Expired when armed.
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

TEST(ColorBalance, PreparesTheFifoWritesEachAcquisitionsSettingsAndRestoresInOrder) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    kcSimFifoFaults faults;
    faults.failureCodeAt = 2;
    kcColorBalanceResult result;
    const FifoState found = runWithFaults(fifo, faults, result);
    expectRestored(*fifo, found);

    using W = kcSimFifoWrite;
    const std::vector<W>& log = fifo->writeLog();
    const std::vector<W::Kind> apply{W::eTriggerEnable, W::eExposure, W::eContrast, W::eBrightness, W::eTriggerEnable};
    std::vector<W::Kind> expected{W::eTriggerEnable, W::eTriggerModel, W::eTriggerEnable, W::eInputLut};
    expected.insert(expected.end(), apply.begin(), apply.end());
    expected.insert(expected.end(), apply.begin(), apply.end());
    expected.insert(expected.end(), restoreKinds().begin(), restoreKinds().end());
    ASSERT_EQ(kindsOf(log), expected);
    EXPECT_EQ(log[1].triggerModel, &kfManualTrigger());
    EXPECT_EQ(log[2].value, 1.0);
    EXPECT_EQ(log[3].lut, std::vector<unsigned char>(kc8BitInputLutProp::positive8BitLut,
                                                     kc8BitInputLutProp::positive8BitLut + 256));
    // The first acquisition uses the tool's first proposal.
    kcColorBalanceTool tool;
    const kcColorCameraSettings first = tool.init(kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0));
    EXPECT_EQ(log[5].value, first.exposure());
    EXPECT_EQ(log[6].value, first.contrast());
    EXPECT_EQ(log[7].value, first.brightness());
    EXPECT_EQ(log[6].tap, kcContrastBrightnessProp::kAllTaps);
}

TEST(ColorBalance, ReportsWhetherTheLutAtTheEndOfTheSearchWasTheIdentity) {
    kcSimFifoFaults faults;
    faults.failureCodeAt = 3;
    kcColorBalanceParams ownLut;
    ownLut.usePositive8BitLut(false);

    kcPtrHandle<kcSimFifo> inverted = makeFifo();
    kcColorBalanceResult result;
    FifoState found = runWithFaults(inverted, faults, result, ownLut);
    EXPECT_FALSE(result.positive8BitLut());
    expectRestored(*inverted, found);

    kcPtrHandle<kcSimFifo> identity = makeFifo();
    identity->inputLut(kc8BitInputLutProp::positive8BitLut);
    found = runWithFaults(identity, faults, result, ownLut);
    EXPECT_TRUE(result.positive8BitLut());
    expectRestored(*identity, found);

    kcPtrHandle<kcSimFifo> installed = makeFifo();
    found = runWithFaults(installed, faults, result);
    EXPECT_TRUE(result.positive8BitLut());
    expectRestored(*installed, found);  // the inverted LUT is back
}

TEST(ColorBalance, AnEmptyFifoHandleThrowsBadPointerAndLeavesTheResultUntouched) {
    kcColorBalanceResult result = untouchedResult();
    EXPECT_THROW(kfColorBalance(kcPtrHandle<kcAcqFifo>(), kcColorBalanceParams(), result, nullptr, 0), kcBadPointer);
    EXPECT_TRUE(isUntouched(result));
}

TEST(ColorBalance, AFailedAcquisitionEndsTheSearchNormallyWithTheToolsResultAtThatMoment) {
    const kcColorBalanceParams params;
    struct Case {
        const char* what;
        kcSimFifoFaults faults;
        int stepsBefore;
        long failureCode;
    };
    kcSimFifoFaults first, later, unbound;
    first.failureCodeAt = 1;
    first.failureCode = 17;
    later.failureCodeAt = 40;
    later.failureCode = 18;
    unbound.unboundImageAt = 25;
    for (const Case& c : {Case{"first", first, 0, 17}, Case{"later", later, 39, 18}, Case{"unbound", unbound, 24, 0}}) {
        SCOPED_TRACE(c.what);
        kcPtrHandle<kcSimFifo> fifo = makeFifo();
        kcColorBalanceResult result = untouchedResult();
        const FifoState found = runWithFaults(fifo, c.faults, result, params);
        EXPECT_EQ(settingsOf(result), handResult(params, c.stepsBefore));
        if (c.stepsBefore > 30) {
            EXPECT_NE(settingsOf(result), handResult(params, 0)) << "the search had not moved";
        }
        EXPECT_EQ(result.acqInfo().failure().code(), c.failureCode);
        EXPECT_EQ(result.acqInfo().acquisitionNumber(), static_cast<unsigned long>(c.stepsBefore + 1));
        EXPECT_EQ(fifo->acquisitionCount(), static_cast<unsigned long>(c.stepsBefore + 1));
        expectRestored(*fifo, found);
    }
}

TEST(ColorBalance, ATimeoutInTheSearchFillsTheResultThenThrowsANewTimeout) {
    const kcColorBalanceParams params;
    for (unsigned long at : {1ul, 3ul, 50ul}) {
        SCOPED_TRACE(at);
        kcPtrHandle<kcSimFifo> fifo = makeFifo();
        const FifoState found = stateOf(*fifo);
        kcSimFifoFaults faults;
        faults.timeoutAt = at;
        fifo->setFaults(faults);
        kcColorBalanceResult result = untouchedResult();
        try {
            kfColorBalance(fifo, params, result, nullptr, 0);
            ADD_FAILURE() << "the timeout was swallowed";
        } catch (const kcTimeout::Expired& e) {
            EXPECT_EQ(e.message(), kcTimeout::Expired().message()) << "not a new timeout: " << e.what();
        }
        EXPECT_EQ(settingsOf(result), handResult(params, static_cast<int>(at) - 1));
        if (at == 50) {
            EXPECT_NE(settingsOf(result), handResult(params, 0)) << "the search had not moved yet";
        }
        EXPECT_EQ(result.acqInfo().acquisitionNumber(), at - 1);
        EXPECT_TRUE(result.positive8BitLut());
        expectRestored(*fifo, found);
    }
}

TEST(ColorBalance, AnExceptionWhilePreparingTheFifoPassesUnchangedWithTheFifoRestored) {
    kcColorBalanceParams params;
    // The second write is the switch to the manual model; the fourth the
    // positive LUT.
    for (unsigned long at : {2ul, 4ul}) {
        SCOPED_TRACE(at);
        kcPtrHandle<kcSimFifo> fifo = makeFifo();
        kcSimFifoFaults faults;
        faults.failWriteAt = at;
        kcColorBalanceResult result = untouchedResult();
        EXPECT_THROW(runWithFaults(fifo, faults, result, params), kcStatusFailure);
        EXPECT_TRUE(isUntouched(result));
        EXPECT_EQ(fifo->acquisitionCount(), 0u);
        fifo->setFaults(kcSimFifoFaults());
        EXPECT_EQ(stateOf(*fifo), stateOf(*makeFifo()));
    }

    // A timeout during preparation is not the search's timeout: it passes
    // as it is and the result stays untouched.
    kcSimFifoOptions options;
    kcPtrHandle<ExpiringTriggerFifo> fifo(
        new ExpiringTriggerFifo(kcSimCamera(kcSimScene::builtIn("chart", kWidth, kHeight), kSeed), options));
    const FifoState found = stateOf(*fifo);
    fifo->armed = true;
    kcColorBalanceResult result = untouchedResult();
    try {
        kfColorBalance(fifo, params, result, nullptr, 0);
        ADD_FAILURE() << "no exception";
    } catch (const kcTimeout::Expired& e) {
        EXPECT_EQ(e.message(), L"trigger model switch timed out");
    }
    EXPECT_TRUE(isUntouched(result));
    fifo->armed = false;
    expectRestored(*fifo, found);
}

TEST(ColorBalance, AnAttentionFailurePassesUnchangedLeavesTheResultAndRestoresTheFifo) {
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    kcSimFifoFaults faults;
    faults.attentionFailureBefore = 3;
    faults.attentionStatus = 1234;
    const FifoState found = stateOf(*fifo);
    kcColorBalanceResult result = untouchedResult();
    try {
        runWithFaults(fifo, faults, result);
        ADD_FAILURE() << "no exception";
    } catch (const kcStatusFailure& e) {
        EXPECT_NE(e.message().find(L"1234"), std::wstring::npos) << e.what();
    }
    fifo->setFaults(kcSimFifoFaults());
    EXPECT_TRUE(isUntouched(result));
    EXPECT_EQ(fifo->acquisitionCount(), 2u);
    expectRestored(*fifo, found);
}

TEST(ColorBalance, AFailingRestoreWriteNeitherEndsTheProcessNorStopsTheOtherRestoreSteps) {
    kcColorBalanceParams ownLut;  // so the only LUT write is the restore's
    ownLut.usePositive8BitLut(false);

    // While the attention failure unwinds: that failure reaches the caller.
    kcPtrHandle<kcSimFifo> fifo = makeFifo();
    const FifoState found = stateOf(*fifo);
    kcSimFifoFaults faults;
    faults.attentionFailureBefore = 2;
    faults.attentionStatus = 99;
    faults.failWriteAt = 1;
    faults.failWriteKind = kcSimFifoWrite::eInputLut;
    kcColorBalanceResult result = untouchedResult();
    try {
        runWithFaults(fifo, faults, result, ownLut);
        ADD_FAILURE() << "no exception";
    } catch (const kcStatusFailure& e) {
        EXPECT_NE(e.message().find(L"99"), std::wstring::npos) << "not the attention failure: " << e.what();
    }
    fifo->setFaults(kcSimFifoFaults());
    const std::vector<kcSimFifoWrite>& log = fifo->writeLog();
    ASSERT_GE(log.size(), restoreKinds().size());
    const std::size_t restoreStart = log.size() - restoreKinds().size();
    EXPECT_EQ(kindsOf(log, restoreStart), restoreKinds());
    EXPECT_FALSE(log[restoreStart + 1].applied);
    EXPECT_TRUE(log.back().applied);
    EXPECT_TRUE(isUntouched(result));
    expectRestored(*fifo, found);

    // On the normal path the failing restore is reported, after every step
    // ran; the result was already filled.
    kcPtrHandle<kcSimFifo> normal = makeFifo();
    faults = kcSimFifoFaults();
    faults.failureCodeAt = 1;
    faults.failWriteAt = 1;
    faults.failWriteKind = kcSimFifoWrite::eInputLut;
    result = untouchedResult();
    EXPECT_THROW(runWithFaults(normal, faults, result, ownLut), kcStatusFailure);
    EXPECT_FALSE(isUntouched(result));
    EXPECT_EQ(result.acqInfo().failure().code(), 1);
    EXPECT_EQ(kindsOf(normal->writeLog(), normal->writeLog().size() - restoreKinds().size()), restoreKinds());
    expectRestored(*normal, stateOf(*makeFifo()));
}

TEST(ColorBalance, BalancesEveryBuiltInSceneInOneCallAndHandsTheFifoBack) {
    constexpr long kSceneWidth = 160;
    constexpr long kSceneHeight = 120;
    constexpr std::int32_t kDarkLevel = 5;  // the search's dark level
    const kcColorBalanceParams params;
    for (const std::string& scene : kcSimScene::builtInNames()) {
        SCOPED_TRACE(scene);
        kcPtrHandle<kcSimFifo> fifo = makeFifo(scene.c_str(), 2, kSceneWidth, kSceneHeight);
        const FifoState found = stateOf(*fifo);
        kcColorBalanceResult result;
        kfColorBalance(fifo, params, result, nullptr, 0);

        FifoState expected = found;
        expected.contrast[1] = expected.contrast[0];
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
        const kcColorCameraSettings start(params.exposureRange().start(), 0.0, 0.0);
        const double pels = static_cast<double>(kSceneWidth * kSceneHeight);
        const double before = countGoodPels(camera.render(start), kc3PlanePelBuffer(), kDarkLevel) / pels;
        const double after = countGoodPels(camera.render(settingsOf(result)), kc3PlanePelBuffer(), kDarkLevel) / pels;
        EXPECT_GT(after, before);
        std::cout << "[ balance  ] " << scene << ": " << fifo->acquisitionCount() << " images, good pels " << before
                  << " -> " << after << " at exposure " << result.exposure() << ", contrast " << result.contrast()
                  << ", brightness " << result.brightness() << "\n";
        RecordProperty(scene + "_good_pel_fraction", std::to_string(after));
    }
}
