// tests/clbl/search_golden_test.cpp
// Whole searches on the simulated camera whose every proposed setting is
// pinned bit for bit (tests/clbl/golden_searches/, one line per proposal in
// hexadecimal floating point, then the result): faster image processing or
// a reorganised search must not change what the search does.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
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

bool sameBits(const kcColorCameraSettings& a, const kcColorCameraSettings& b) {
    return std::bit_cast<std::uint64_t>(a.exposure()) == std::bit_cast<std::uint64_t>(b.exposure()) &&
           std::bit_cast<std::uint64_t>(a.contrast()) == std::bit_cast<std::uint64_t>(b.contrast()) &&
           std::bit_cast<std::uint64_t>(a.brightness()) == std::bit_cast<std::uint64_t>(b.brightness());
}

std::string text(const kcColorCameraSettings& s) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "(%a, %a, %a)", s.exposure(), s.contrast(), s.brightness());
    return buffer;
}

kcColorCameraSettings parsed(std::istream& in) {
    std::string e, c, b;
    in >> e >> c >> b;
    return kcColorCameraSettings(std::stod(e), std::stod(c), std::stod(b));
}

}  // namespace

TEST(SearchGolden, EverySearchProposesTheRecordedSettingsInOrder) {
    for (const GoldenSearch& g : goldenSearches()) {
        std::ifstream file(std::string(CLBL_GOLDEN_SEARCH_DIR "/") + g.file);
        ASSERT_TRUE(file) << g.file;
        std::vector<kcColorCameraSettings> expected;
        kcColorCameraSettings expectedResult;
        for (std::string line; std::getline(file, line);) {
            std::istringstream in(line);
            if (line.rfind("result ", 0) == 0) {
                in.ignore(7);
                expectedResult = parsed(in);
            } else {
                expected.push_back(parsed(in));
            }
        }
        const search_runner::SearchRun run = search_runner::runSimulatedSearch(
            g.scene, 320, 240, 3, g.params, kcColorCameraSettings(1e-6, 0.0, 0.0), 20000);
        std::size_t i = 0;
        while (i < expected.size() && i < run.proposals.size() && sameBits(expected[i], run.proposals[i])) ++i;
        EXPECT_EQ(i, expected.size()) << g.file << ": proposal " << i << " differs: expected "
                                      << (i < expected.size() ? text(expected[i]) : "the end") << ", got "
                                      << (i < run.proposals.size() ? text(run.proposals[i]) : "the end");
        EXPECT_EQ(run.proposals.size(), expected.size()) << g.file;
        EXPECT_TRUE(sameBits(run.result, expectedResult))
            << g.file << ": result " << text(run.result) << ", expected " << text(expectedResult);
    }
}
