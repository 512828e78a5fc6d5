// tests/clbl/search_termination_test.cpp
// The search ends, and ends in range, over a few hundred random parameter
// sets and scenes: random enables, steps (0 included), exposure ranges
// (starting at 0, reversed, tiny, degenerate, huge), built-in scenes at
// random seeds on tiny images rendered by the simulated camera.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "clbl/params.h"
#include "clbl/tool.h"
#include "search_limits.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/sim/sim_camera.h"

namespace {

constexpr long kWidth = 64;
constexpr long kHeight = 48;
#ifdef CLBL_SANITIZED
constexpr int kCases = 100;  // the sanitizers make each image many times slower
#else
constexpr int kCases = 300;
#endif
// Exposures rendered are capped here: the simulated camera refuses values
// that are not finite, and far above 1 every pel is saturated anyway.
constexpr double kLargestRenderedExposure = 1e6;

struct Case {
    kcColorBalanceParams params;
    kcColorCameraSettings start;
    std::string scene;
    std::uint64_t sceneSeed = 0;

    std::string describe() const {
        std::ostringstream out;
        out.precision(17);
        const kcRange r = params.exposureRange();
        out << scene << " seed " << sceneSeed << ", enabled " << params.isExposureEnabled()
            << params.isContrastEnabled() << params.isBrightnessEnabled() << ", steps " << params.minExposureStepSize()
            << ' ' << params.minContrastStepSize() << ' ' << params.minBrightnessStepSize() << ", range " << r.start()
            << ".." << r.end() << ", start " << start.exposure() << ' ' << start.contrast() << ' '
            << start.brightness();
        return out.str();
    }
};

Case randomCase(std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
    auto logUniform = [&](double lo, double hi) { return std::exp(uniform(std::log(lo), std::log(hi))); };

    Case c;
    c.params.isExposureEnabled(pick(4) != 0);
    c.params.isContrastEnabled(pick(3) != 0);
    c.params.isBrightnessEnabled(pick(3) != 0);
    auto planeStep = [&]() {
        const int kind = pick(4);
        return kind == 0 ? 0.0 : kind == 1 ? 0.5 : kind == 2 ? 0.0009765625 : uniform(0.0, 0.5);
    };
    c.params.minContrastStepSize(planeStep());
    c.params.minBrightnessStepSize(planeStep());
    const double exposureSteps[] = {0.0, 0.0, 1e-7, 1e-4, 0.003, 0.05};
    c.params.minExposureStepSize(exposureSteps[pick(6)]);

    double start = 1e-6;
    double end = 0.3;
    switch (pick(7)) {
        case 0:  // the default range
            break;
        case 1:  // starting at 0
            start = 0.0;
            end = logUniform(1e-4, 1.0);
            break;
        case 2:  // reversed
            start = logUniform(1e-3, 1.0);
            end = start * uniform(0.01, 0.9);
            break;
        case 3:  // tiny
            start = logUniform(1e-4, 0.1);
            end = start * (1.0 + uniform(1e-12, 1e-6));
            break;
        case 4:  // a single exposure
            start = logUniform(1e-4, 0.1);
            end = start;
            break;
        case 5:  // huge
            start = logUniform(1e-12, 1e-9);
            end = logUniform(10.0, 1e3);
            break;
        default:  // some ordinary range
            start = logUniform(1e-6, 0.01);
            end = start * logUniform(2.0, 1e4);
            break;
    }
    c.params.exposureRange(kcRange(start, end));

    // The one-shot driver's start: the range's start, contrast and
    // brightness 0; sometimes other values, which disabled axes keep.
    c.start = kcColorCameraSettings(start, 0.0, 0.0);
    if (pick(3) == 0) c.start = kcColorCameraSettings(start, uniform(0.0, 1.0), uniform(0.0, 1.0));

    const std::vector<std::string> scenes = kcSimScene::builtInNames();
    c.scene = scenes[static_cast<std::size_t>(pick(static_cast<int>(scenes.size())))];
    c.sceneSeed = rng();
    return c;
}

// The settings as a camera would take them: exposure finite and not
// negative, contrast and brightness finite.
kcColorCameraSettings renderable(const kcColorCameraSettings& s) {
    const auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    const double e = s.exposure() >= 0.0 ? std::min(s.exposure(), kLargestRenderedExposure) : 0.0;
    return kcColorCameraSettings(e, finite(s.contrast()), finite(s.brightness()));
}

struct Outcome {
    long images = 0;
    bool done = false;
    kcColorCameraSettings result;
};

Outcome runSearch(const Case& c) {
    kcSimCamera camera(kcSimScene::builtIn(c.scene, kWidth, kHeight), c.sceneSeed);
    kcColorBalanceTool tool;
    Outcome out;
    kcColorCameraSettings settings = tool.init(c.params, c.start);
    while (!tool.done() && out.images < search_limits::kMaxImages) {
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(renderable(settings))));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        ++out.images;
    }
    out.done = tool.done();
    out.result = tool.result();
    return out;
}

}  // namespace

TEST(SearchTermination, EndsWithinTheBoundAndInRangeForRandomParametersAndScenes) {
    long mostImages = 0;
    for (int i = 0; i < kCases; ++i) {
        const Case c = randomCase(1000 + static_cast<std::uint64_t>(i));
        const Outcome out = runSearch(c);
        ASSERT_TRUE(out.done) << "no end within " << search_limits::kMaxImages << " images: " << c.describe();
        mostImages = std::max(mostImages, out.images);

        const kcColorCameraSettings& r = out.result;
        const kcRange range = c.params.exposureRange();
        using search_limits::withinRangeUpToStep;
        EXPECT_TRUE(!c.params.isExposureEnabled() || !(range.start() <= range.end()) ||
                    withinRangeUpToStep(r.exposure(), range.start(), range.end(), c.params.minExposureStepSize()))
            << "exposure " << r.exposure() << ": " << c.describe();
        EXPECT_TRUE(!c.params.isContrastEnabled() ||
                    withinRangeUpToStep(r.contrast(), 0.0, 1.0, c.params.minContrastStepSize()))
            << "contrast " << r.contrast() << ": " << c.describe();
        EXPECT_TRUE(!c.params.isBrightnessEnabled() ||
                    withinRangeUpToStep(r.brightness(), 0.0, 1.0, c.params.minBrightnessStepSize()))
            << "brightness " << r.brightness() << ": " << c.describe();
        // Disabled axes keep the start's value.
        EXPECT_TRUE(c.params.isExposureEnabled() || r.exposure() == c.start.exposure()) << c.describe();
        EXPECT_TRUE(c.params.isContrastEnabled() || r.contrast() == c.start.contrast()) << c.describe();
        EXPECT_TRUE(c.params.isBrightnessEnabled() || r.brightness() == c.start.brightness()) << c.describe();
    }
    RecordProperty("most_images", static_cast<int>(mostImages));
}
