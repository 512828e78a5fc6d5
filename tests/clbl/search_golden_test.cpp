// tests/clbl/search_golden_test.cpp
// Whole searches on the simulated camera whose every proposed setting is
// pinned bit for bit (tests/clbl/golden_searches/, one line per proposal in
// hexadecimal floating point, then the result): faster image processing or
// a reorganised search must not change what the search does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/search_runner.h"

namespace {

struct GoldenSearch {
    const char* file;
    const char* scene;
    kcColorBalanceParams params;
};

std::vector<GoldenSearch> goldenSearches() {
    kcColorBalanceParams greySweeps;  // two exposure rungs: nothing usable, so the grey sweeps run
    greySweeps.exposureRange(kcRange(0.01, 0.02));
    kcColorBalanceParams singleExposure;  // nothing usable either, and no exposure to sweep
    singleExposure.exposureRange(kcRange(0.01, 0.01));
    kcColorBalanceParams sweepToTheEnd;  // the grey exposure sweep meets the range's end exactly
    sweepToTheEnd.exposureRange(kcRange(0.0625, 0.09375));
    kcColorBalanceParams fixedExposure;
    fixedExposure.isExposureEnabled(false);
    kcColorBalanceParams steps;
    steps.isContrastEnabled(false);
    steps.minExposureStepSize(0.001);
    steps.minBrightnessStepSize(0.125);
    return {
        {"chart.txt", "chart", kcColorBalanceParams()},         {"hdr.txt", "hdr", kcColorBalanceParams()},
        {"dark_grey_sweeps.txt", "dark", greySweeps},           {"dark_single_exposure.txt", "dark", singleExposure},
        {"chart_sweep_to_the_end.txt", "chart", sweepToTheEnd}, {"bright_fixed_exposure.txt", "bright", fixedExposure},
        {"chart_contrast_disabled.txt", "chart", steps},
    };
}

// A setting as the golden files write it; hexadecimal floating point is
// exact, so equal text means equal bits.
std::string text(const kcColorCameraSettings& s) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%a %a %a", s.exposure(), s.contrast(), s.brightness());
    return buffer;
}

}  // namespace

TEST(SearchGolden, EverySearchProposesTheRecordedSettingsInOrder) {
    for (const GoldenSearch& g : goldenSearches()) {
        std::ifstream file(std::string(CLBL_GOLDEN_SEARCH_DIR "/") + g.file);
        ASSERT_TRUE(file) << g.file;
        std::vector<std::string> expected, got;
        for (std::string line; std::getline(file, line);) expected.push_back(line);
        const auto run = search_runner::runSimulatedSearch(g.scene, 320, 240, 3, g.params, {1e-6, 0.0, 0.0}, 20000);
        for (const kcColorCameraSettings& s : run.proposals) got.push_back(text(s));
        got.push_back("result " + text(run.result));
        const auto [e, r] = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
        EXPECT_TRUE(e == expected.end() && r == got.end())
            << g.file << ": line " << (e - expected.begin()) + 1 << " differs: expected "
            << (e == expected.end() ? "the end" : *e) << ", got " << (r == got.end() ? "the end" : *r);
    }
}
