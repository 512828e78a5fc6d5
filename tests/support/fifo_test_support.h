// tests/support/fifo_test_support.h
// Shared pieces of the FIFO handling, driver and diagnostics tests: a
// simulated FIFO in a recognisable non-default state, a snapshot of the
// properties the driver must put back, readable forms of logged writes, and
// the search the driver runs, driven by hand.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "clbl/internal/fifo_handling.h"
#include "tests/support/search_runner.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/sim/sim_fifo.h"

namespace fifo_test {

constexpr long kWidth = 64;
constexpr long kHeight = 48;
constexpr std::uint64_t kSeed = 5;

// Everything the driver changes and must put back.
struct FifoState {
    bool triggerEnable = false;
    const kcTriggerModel* triggerModel = nullptr;
    std::vector<unsigned char> lut;
    double exposure = 0.0;
    std::vector<double> contrast;
    std::vector<double> brightness;

    bool operator==(const FifoState&) const = default;
};

inline FifoState stateOf(const kcSimFifo& fifo) {
    FifoState s{fifo.triggerEnable(),
                &fifo.triggerModel(),
                fifo.inputLut(kc8BitInputLutProp::eLutChannel0),
                fifo.exposure(),
                {},
                {}};
    for (long t = 0; t < fifo.numTaps(); ++t) {
        s.contrast.push_back(fifo.contrast(static_cast<kcContrastBrightnessProp::Channel>(t)));
        s.brightness.push_back(fifo.brightness(static_cast<kcContrastBrightnessProp::Channel>(t)));
    }
    return s;
}

// A noisy, seeded FIFO (of type F) over a built-in scene, left in a state
// unlike the balancing configuration: triggering off, hardware trigger,
// inverted LUT, and (with two taps) taps of different contrast and brightness.
template <class F = kcSimFifo>
kcPtrHandle<F> makeFifo(const char* scene = "chart", long numTaps = 1, long width = kWidth, long height = kHeight) {
    const kcSimFifoOptions options{.numTaps = numTaps, .exposure = 0.02, .contrast = 0.4, .brightness = 0.1};
    kcPtrHandle<F> fifo(new F(kcSimCamera(kcSimScene::builtIn(scene, width, height), kSeed, true), options));
    if (numTaps > 1) fifo->setContrastEx(0.7, 1);
    if (numTaps > 1) fifo->setBrightnessEx(0.3, 1);
    std::array<unsigned char, 256> inverted{};
    for (std::size_t i = 0; i < inverted.size(); ++i) inverted[i] = static_cast<unsigned char>(255 - i);
    fifo->inputLut(inverted.data());
    fifo->triggerModel(kfHardwareTrigger());
    fifo->triggerEnable(false);
    fifo->clearWriteLog();
    return fifo;
}

inline std::vector<kcSimFifoWrite::Kind> kindsOf(const std::vector<kcSimFifoWrite>& log, std::size_t from) {
    std::vector<kcSimFifoWrite::Kind> kinds;
    for (std::size_t i = from; i < log.size(); ++i) kinds.push_back(log[i].kind);
    return kinds;
}

// The writes from `from` on, as described by the log, a refused one marked "!".
inline std::string described(const std::vector<kcSimFifoWrite>& log, std::size_t from = 0) {
    std::string text;
    for (std::size_t i = from; i < log.size(); ++i)
        text += (i > from ? " " : "") + log[i].describe() + (log[i].applied ? "" : "!");
    return text;
}

// The tool's result before any image and after each of up to `maxImages`
// images of a search driven by hand on `twin`, prepared as the driver
// prepares its FIFO, so that it sees the driver's images.
inline std::vector<kcColorCameraSettings> handResults(kcPtrHandle<kcSimFifo> twin, const kcColorBalanceParams& params,
                                                      long maxImages) {
    twin->triggerModel(kfManualTrigger());
    twin->triggerEnable(true);
    if (params.usePositive8BitLut()) twin->inputLut(kc8BitInputLutProp::positive8BitLut);
    const kcColorCameraSettings start(params.exposureRange().start(), 0.0, 0.0);
    std::vector<kcColorCameraSettings> results{start};
    kcColorBalanceTool tool;
    const auto acquire = [&](const kcColorCameraSettings& s) {
        kcAcquireInfo info;
        bool failed = false;
        return kfAcquireWithSettings(twin, s, info, failed);
    };
    search_runner::runSearch(tool, params, start, maxImages, acquire, false,
                             [&](const kcColorBalanceTool& t) { results.push_back(t.result()); });
    return results;
}

inline kcColorCameraSettings settingsOf(const kcColorBalanceResult& r) {
    return kcColorCameraSettings(r.exposure(), r.contrast(), r.brightness());
}

// The restore's writes, in order.
inline const std::vector<kcSimFifoWrite::Kind> kRestoreKinds{
    kcSimFifoWrite::eTriggerEnable, kcSimFifoWrite::eInputLut, kcSimFifoWrite::eTriggerModel, kcSimFifoWrite::eContrast,
    kcSimFifoWrite::eBrightness,    kcSimFifoWrite::eExposure, kcSimFifoWrite::eTriggerEnable};

}  // namespace fifo_test
