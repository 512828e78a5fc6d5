// tests/support/search_runner.h
// Runs a whole search of kcColorBalanceTool, one image per proposed
// setting, as the tests, fuzzers and benchmarks drive it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "clbl/tool.h"
#include "toolkit/sim/sim_camera.h"

namespace search_runner {

struct SearchRun {
    // Every setting the tool proposed, the one from init first (empty when
    // not recorded).
    std::vector<kcColorCameraSettings> proposals;
    kcColorCameraSettings last;  // the last setting proposed
    long images = 0;             // images handed to the tool
    bool done = false;           // false when the image bound stopped the search
    kcColorCameraSettings result;
};

// Initialises `tool` with `params` and `start`, then hands it the image
// `imageFor(settings)` gives (a kcPtrHandle<kcAcqImage>) for each proposed
// setting until the tool is done or `maxImages` were taken. `afterStep`
// sees the tool after each image (by default, nothing does).
template <class ImageFor, class Observer = decltype([](const kcColorBalanceTool&) {})>
SearchRun runSearch(kcColorBalanceTool& tool, const kcColorBalanceParams& params, const kcColorCameraSettings& start,
                    long maxImages, ImageFor&& imageFor, bool recordProposals = true, Observer&& afterStep = {}) {
    SearchRun run;
    kcColorCameraSettings settings = tool.init(params, start);
    if (recordProposals) run.proposals.push_back(settings);
    while (!tool.done() && run.images < maxImages) {
        kcPtrHandle<kcAcqImage> image = imageFor(std::as_const(settings));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        ++run.images;
        if (recordProposals) run.proposals.push_back(settings);
        afterStep(std::as_const(tool));
    }
    run.last = settings;
    run.done = tool.done();
    run.result = tool.result();
    return run;
}

// The image of the simulated camera at `settings`.
inline kcPtrHandle<kcAcqImage> renderedImage(kcSimCamera& camera, const kcColorCameraSettings& settings) {
    return kcPtrHandle<kcAcqImage>(new kcAcqImage(camera.render(settings)));
}

// A search with a fresh tool on a built-in scene of the simulated camera.
inline SearchRun runSimulatedSearch(const std::string& scene, long width, long height, std::uint64_t seed,
                                    const kcColorBalanceParams& params, const kcColorCameraSettings& start,
                                    long maxImages) {
    kcSimCamera camera(kcSimScene::builtIn(scene, width, height), seed);
    kcColorBalanceTool tool;
    return runSearch(tool, params, start, maxImages,
                     [&](const kcColorCameraSettings& s) { return renderedImage(camera, s); });
}

}  // namespace search_runner
