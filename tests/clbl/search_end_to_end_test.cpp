// tests/clbl/search_end_to_end_test.cpp
// Whole searches on the simulated camera, driven by hand as a caller of the
// tool would: init, render at the returned settings, hand the image over,
// until done().
#include <gtest/gtest.h>

#include <vector>

#include "clbl/color_measurement.h"
#include "clbl/tool.h"
#include "toolkit/sim/sim_camera.h"

namespace {
// Bound on the images of one search: the initial sweep takes at most one
// image per table entry (720 with the defaults), the grey sweeps a few
// dozen, and the grid passes end long before the 1000-restart limit on
// these scenes.
constexpr int kImageBound = 20000;

struct SearchRun {
    std::vector<kcColorCameraSettings> proposed;
    kcColorCameraSettings result;
    bool done = false;
};

SearchRun runSearch(const std::string& scene, std::uint64_t seed, long width = 320, long height = 240) {
    kcSimCamera camera(kcSimScene::builtIn(scene, width, height), seed);
    kcColorBalanceTool tool;
    SearchRun run;
    kcColorCameraSettings settings = tool.init(kcColorBalanceParams(), kcColorCameraSettings(1e-6, 0.0, 0.0));
    run.proposed.push_back(settings);
    while (!tool.done() && static_cast<int>(run.proposed.size()) < kImageBound) {
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(settings)));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        run.proposed.push_back(settings);
    }
    run.done = tool.done();
    run.result = tool.result();
    return run;
}

// Good pels of a noise-free image of the scene at these settings, at the
// size the tool measures (smoothing aside).
std::int32_t goodPels(const std::string& scene, const kcColorCameraSettings& s) {
    kcSimCamera camera(kcSimScene::builtIn(scene, 320, 240), 1, false);
    return countGoodPels(camera.render(s), kc3PlanePelBuffer(), 5);
}
}  // namespace

TEST(SearchEndToEnd, EndsOnEveryBuiltInSceneWithAtLeastTheGoodPelsOfItsFirstProposal) {
    for (const std::string& scene : kcSimScene::builtInNames()) {
        const SearchRun run = runSearch(scene, 7);
        ASSERT_TRUE(run.done) << scene << " did not end within " << kImageBound << " images";
        const std::int32_t first = goodPels(scene, run.proposed.front());
        const std::int32_t found = goodPels(scene, run.result);
        EXPECT_GE(found, first) << scene;
        EXPECT_GT(found, 0) << scene;
        RecordProperty(scene + "_images", static_cast<int>(run.proposed.size()));
        std::cout << scene << ": " << run.proposed.size() << " images, good pels " << first << " -> " << found
                  << " of " << 320 * 240 << "\n";
    }
}

TEST(SearchEndToEnd, TheSameSeedGivesTheSameSequenceOfSettings) {
    const SearchRun a = runSearch("chart", 11, 160, 120);
    const SearchRun b = runSearch("chart", 11, 160, 120);
    ASSERT_EQ(a.proposed.size(), b.proposed.size());
    for (std::size_t i = 0; i < a.proposed.size(); ++i) ASSERT_EQ(a.proposed[i], b.proposed[i]) << i;
    EXPECT_EQ(a.result, b.result);
}
