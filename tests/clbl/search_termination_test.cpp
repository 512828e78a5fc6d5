// tests/clbl/search_termination_test.cpp
// The search ends within its stated bound of images, with its result in
// range, over random parameter sets and scenes: random enables, steps (0
// included) and exposure ranges (from 0, reversed, tiny, single, huge).
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "tests/support/search_limits.h"
#include "tests/support/search_runner.h"

namespace {

// Far above 1 every pel is saturated; the simulated camera refuses values
// that are not finite.
kcColorCameraSettings renderable(const kcColorCameraSettings& s) {
    const auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    return kcColorCameraSettings(s.exposure() >= 0.0 ? std::min(s.exposure(), 1e6) : 0.0, finite(s.contrast()),
                                 finite(s.brightness()));
}

}  // namespace

TEST(SearchTermination, EndsWithinTheBoundAndInRangeForRandomParametersAndScenes) {
    const std::vector<std::string> scenes = kcSimScene::builtInNames();
    for (std::uint64_t seed = 1000; seed < 1200; ++seed) {
        std::mt19937_64 rng(seed);
        auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
        auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
        kcColorBalanceParams params;
        params.isExposureEnabled(pick(4) != 0);
        params.isContrastEnabled(pick(3) != 0);
        params.isBrightnessEnabled(pick(3) != 0);
        const double planeSteps[] = {0.0, 0.5, 0.0009765625, uniform(0.0, 0.5)};
        params.minContrastStepSize(planeSteps[pick(4)]);
        params.minBrightnessStepSize(planeSteps[pick(4)]);
        const double exposureSteps[] = {0.0, 0.0, 1e-7, 1e-4, 0.003, 0.05};
        params.minExposureStepSize(exposureSteps[pick(6)]);
        // Default, from 0, reversed, tiny, a single exposure, huge, ordinary.
        const double a = std::exp(uniform(std::log(1e-4), std::log(0.1)));
        const double ranges[][2] = {
            {1e-6, 0.3}, {0.0, a * 10},       {a, a * uniform(0.01, 0.9)},        {a, a * (1.0 + uniform(1e-12, 1e-6))},
            {a, a},      {a * 1e-8, a * 1e4}, {a * 0.01, a * uniform(2.0, 100.0)}};
        const auto& range = ranges[pick(7)];
        params.exposureRange(kcRange(range[0], range[1]));
        const kcColorCameraSettings start = pick(3) == 0 ? kcColorCameraSettings(range[0], uniform(0, 1), uniform(0, 1))
                                                         : kcColorCameraSettings(range[0], 0.0, 0.0);
        const std::string scene = scenes[static_cast<std::size_t>(pick(static_cast<int>(scenes.size())))];
        std::ostringstream what;
        what.precision(17);
        what << "case " << seed << ": " << scene << ", range " << range[0] << ".." << range[1];

        kcSimCamera camera(kcSimScene::builtIn(scene, 64, 48), rng());
        kcColorBalanceTool tool;
        const search_runner::SearchRun run = search_runner::runSearch(
            tool, params, start, search_limits::kMaxImages,
            [&](const kcColorCameraSettings& s) { return search_runner::renderedImage(camera, renderable(s)); }, false);
        ASSERT_TRUE(run.done) << "no end within " << search_limits::kMaxImages << " images, " << what.str();

        const auto within = search_limits::withinRangeUpToStep;
        const kcColorCameraSettings& r = run.result;
        EXPECT_TRUE(!params.isExposureEnabled() || !(range[0] <= range[1]) ||
                    within(r.exposure(), range[0], range[1], params.minExposureStepSize()))
            << r.exposure() << ", " << what.str();
        EXPECT_TRUE(!params.isContrastEnabled() || within(r.contrast(), 0, 1, params.minContrastStepSize()))
            << r.contrast() << ", " << what.str();
        EXPECT_TRUE(!params.isBrightnessEnabled() || within(r.brightness(), 0, 1, params.minBrightnessStepSize()))
            << r.brightness() << ", " << what.str();
        // Disabled axes keep the start's value.
        EXPECT_TRUE(params.isExposureEnabled() || r.exposure() == start.exposure()) << what.str();
        EXPECT_TRUE(params.isContrastEnabled() || r.contrast() == start.contrast()) << what.str();
        EXPECT_TRUE(params.isBrightnessEnabled() || r.brightness() == start.brightness()) << what.str();
    }
}
