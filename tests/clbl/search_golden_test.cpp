// tests/clbl/search_golden_test.cpp
// Whole searches on the simulated camera whose every proposed setting is
// pinned bit for bit: faster image processing must not change what the
// search does.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <iostream>
#include <string>

#include "clbl/tool.h"
#include "toolkit/sim/sim_camera.h"

namespace {

constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;  // FNV-1a 64-bit offset basis
constexpr std::uint64_t kFnvPrime = 1099511628211ull;          // FNV-1a 64-bit prime
constexpr long kWidth = 320;
constexpr long kHeight = 240;
constexpr std::uint64_t kSeed = 3;
constexpr int kImageBound = 20000;  // far above what these searches take

struct Fingerprint {
    std::uint64_t hash = kFnvOffset;  // over the bits of every proposed setting, in order
    int proposals = 0;                // settings returned, the first from init included
    std::uint64_t exposure = 0;       // bits of the result
    std::uint64_t contrast = 0;
    std::uint64_t brightness = 0;
};

void hashDouble(std::uint64_t& hash, double value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    for (int byte = 0; byte < 8; ++byte) {
        hash ^= (bits >> (8 * byte)) & 0xffu;
        hash *= kFnvPrime;
    }
}

void record(Fingerprint& f, const kcColorCameraSettings& s) {
    hashDouble(f.hash, s.exposure());
    hashDouble(f.hash, s.contrast());
    hashDouble(f.hash, s.brightness());
    ++f.proposals;
}

Fingerprint searchFingerprint(const std::string& scene, const kcColorBalanceParams& params) {
    kcSimCamera camera(kcSimScene::builtIn(scene, kWidth, kHeight), kSeed);
    kcColorBalanceTool tool;
    Fingerprint f;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings(1e-6, 0.0, 0.0));
    record(f, settings);
    while (!tool.done() && f.proposals < kImageBound) {
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(settings)));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        record(f, settings);
    }
    const kcColorCameraSettings result = tool.result();
    f.exposure = std::bit_cast<std::uint64_t>(result.exposure());
    f.contrast = std::bit_cast<std::uint64_t>(result.contrast());
    f.brightness = std::bit_cast<std::uint64_t>(result.brightness());
    return f;
}

void expectFingerprint(const std::string& scene, const kcColorBalanceParams& params, const Fingerprint& expected) {
    const Fingerprint f = searchFingerprint(scene, params);
    EXPECT_EQ(f.proposals, expected.proposals) << scene;
    EXPECT_EQ(f.hash, expected.hash) << scene;
    EXPECT_EQ(f.exposure, expected.exposure) << scene;
    EXPECT_EQ(f.contrast, expected.contrast) << scene;
    EXPECT_EQ(f.brightness, expected.brightness) << scene;
    std::cout << scene << ": " << f.proposals << " proposals, hash 0x" << std::hex << f.hash << ", result 0x"
              << f.exposure << " 0x" << f.contrast << " 0x" << f.brightness << std::dec << "\n";
}

}  // namespace

TEST(SearchGolden, ChartSearchProposesTheRecordedSequenceOfSettings) {
    expectFingerprint(
        "chart", kcColorBalanceParams(),
        {0x9394b77cc78387d1ull, 158, 0x3fc16807505659a9ull, 0x3f9a000000000000ull, 0x3f9a000000000000ull});
}

TEST(SearchGolden, HighDynamicRangeSearchProposesTheRecordedSequenceOfSettings) {
    expectFingerprint(
        "hdr", kcColorBalanceParams(),
        {0xb147c40854fd3de2ull, 200, 0x3fd3333333333333ull, 0x3ff0000000000000ull, 0x3fe6500000000000ull});
}

// Two exposure rungs leave the initial sweep without a measurement, so this
// search goes through the grey sweeps too.
TEST(SearchGolden, SearchThroughTheGreySweepsProposesTheRecordedSequenceOfSettings) {
    kcColorBalanceParams params;
    params.exposureRange(kcRange(0.01, 0.02));
    expectFingerprint(
        "dark", params,
        {0x9c6ee1c376eecc56ull, 204, 0x3f8eb851eb851eb8ull, 0x3fefe00000000000ull, 0x3fc9a00000000000ull});
}
