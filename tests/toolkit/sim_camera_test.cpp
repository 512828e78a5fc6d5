// tests/toolkit/sim_camera_test.cpp
#include "toolkit/sim/sim_camera.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/thrown.h"

namespace {

std::vector<float> radiances(const kcSimScene& scene) {
    std::vector<float> out;
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < scene.height(); ++y)
            out.insert(out.end(), scene.row(p, y), scene.row(p, y) + scene.width());
    return out;
}

// Writes `bytes` to a file of this process's own in the temporary directory.
std::string writeFile(const std::string& name, const std::string& bytes) {
    const auto path = std::filesystem::temp_directory_path() / ("clbl_sim_" + std::to_string(::getpid()) + "_" + name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

// FNV-1a over the pels of two consecutive frames (the second has its own
// noise stream), plane after plane.
std::uint64_t framesHash(kcSimCamera& camera, const kcSimExposure& exposure) {
    std::uint64_t hash = 14695981039346656037ull;
    for (int frame = 0; frame < 2; ++frame) {
        const kc3PlanePelBuffer image = camera.render(exposure);
        for (int p = 0; p < 3; ++p)
            for (long y = 0; y < image.height(); ++y) {
                const unsigned char* row = image.plane(p).pointToRow(y);
                for (long x = 0; x < image.width(); ++x) hash = (hash ^ row[x]) * 1099511628211ull;
            }
    }
    return hash;
}

}  // namespace

TEST(SimScene, ReadsRgb8AndPpmSourcesAndRefusesBadSizesAndFilesNamingTheFile) {
    // Quadrants red, green / blue, white; then a binary PPM with comments
    // resamples like the same bytes given directly.
    const std::vector<unsigned char> rgb{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const kcSimScene scene = kcSimScene::fromRgb8(rgb, 2, 2, 64, 48);
    EXPECT_EQ(std::vector<float>({scene.row(1, 0)[31], scene.row(1, 0)[32], scene.row(2, 24)[0], scene.row(0, 23)[0]}),
              std::vector<float>({0.0f, 1.0f, 1.0f, 1.0f}));
    const std::vector<unsigned char> ramp{10,  20,  30,  40,  50,  60,  70,  80,  90,
                                          100, 110, 120, 130, 140, 150, 160, 170, 180};
    const std::string eight =
        writeFile("eight.ppm", "P6\n# made by a test\n3 # width\n2\n255\n" + std::string(ramp.begin(), ramp.end()));
    EXPECT_EQ(radiances(kcSimScene::fromPpm(eight, 64, 48)), radiances(kcSimScene::fromRgb8(ramp, 3, 2, 64, 48)));
    // Sizes 0 keep the file's size, clamped into the simulator's range.
    EXPECT_EQ(std::pair(kcSimScene::fromPpm(eight).width(), kcSimScene::fromPpm(eight).height()),
              std::pair(kcSimScene::kMinWidth, kcSimScene::kMinHeight));
    const std::string large = writeFile("large.ppm", "P6 100 50 255\n" + std::string(100 * 50 * 3, '\x80'));
    EXPECT_EQ(std::pair(kcSimScene::fromPpm(large).width(), kcSimScene::fromPpm(large, 0, 60).height()),
              std::pair(100L, 60L));
    // Two bytes per sample, most significant first, above maxval 255.
    const std::string deep = writeFile("deep.ppm", "P6\n1 1\n1000\n\x01\xF4\x01\xF4\x01\xF4");
    EXPECT_FLOAT_EQ(kcSimScene::fromPpm(deep, 64, 48).row(2, 47)[63], 0.5f);
    const kcSimScene largest = kcSimScene::builtIn("chart", 2448, 2048);
    EXPECT_GT(largest.row(1, 2047)[2447], 0.0f);

    for (const auto& bad : std::vector<std::function<void()>>{
             [&] { kcSimScene::fromRgb8(rgb, 2, 3, 64, 48); }, [] { kcSimScene::fromRgb8({}, 0, 0, 64, 48); },
             [&] { kcSimScene::fromRgb8(rgb, 2, 2, 32, 48); }, [&] { kcSimScene::fromPpm(eight, -1, 48); },
             [] { kcSimScene::fromPpm("/nonexistent/dir/scene.ppm"); }, [&] { largest.row(3, 0); },
             [&] { largest.row(0, 2048); }, [&] { largest.row(0, -1); }})
        EXPECT_THROW(bad(), kcBadArgument);
    for (const auto& [w, h] : {std::pair{63, 48}, {64, 47}, {2449, 2048}, {2448, 2049}, {-64, 48}})
        EXPECT_THROW(kcSimScene::builtIn("chart", w, h), kcBadArgument) << w << "x" << h;
    for (const std::string& path : {eight, large, deep}) std::filesystem::remove(path);

    // Plain, truncated, overlong, garbled, out-of-range headers; the last
    // has sides within bounds but far more pels than the file holds: refused
    // before any pel memory is allocated.
    // clang-format off
    const std::vector<std::string> bad{"", "P3\n2 1\n255\n\7\7\7\7\7\7", "P6\n2 1\n", "P6\n2 1\n255",
        "P6\n2 1\n255\n\7\7\7\7\7", "P6\n2 1\n255\n\7\7\7\7\7\7\7", "P6\n2 1\n0\n\7\7\7\7\7\7",
        "P6\n2 1\n65536\n\7\7\7\7\7\7", "P6\n0 1\n255\n", "P6\n2 x\n255\n\7\7\7\7\7\7",
        "P6\n-2 1\n255\n\7\7\7\7\7\7", "P6\n2 1234567890123\n255\n\7\7\7\7\7\7",
        "P6\n40000 1\n255\n\7\7\7\7\7\7", "P6\n32768 32768\n65535\n\7\7\7\7\7\7"};
    // clang-format on
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string path = writeFile("bad" + std::to_string(i) + ".ppm", bad[i]);
        const std::wstring message = thrownMessage<kcBadArgument>([&] { kcSimScene::fromPpm(path, 64, 48); });
        EXPECT_NE(message.find(std::wstring(path.begin(), path.end())), std::wstring::npos) << "case " << i;
        std::filesystem::remove(path);
    }
}

TEST(SimCamera, RendersTheRecordedFramesBitForBit) {
    // Odd sizes and stripes leave every rendering path a ragged tail; the
    // exposures span dark, well exposed and clipped. The hashes were taken
    // with the vector paths switched off, pel by pel.
    // Scene, size, seed, noise, exposure, tap contrasts, tap brightnesses,
    // square-root LUT, hash.
    using Case = std::tuple<const char*, long, long, std::uint64_t, bool, double, std::vector<double>,
                            std::vector<double>, bool, std::uint64_t>;
    const std::vector<Case> cases{
        {"chart", 320, 240, 3, true, 0.02, {0.5}, {0.2}, false, 0xa1e95c23993c0e49ull},
        {"chart", 67, 49, 5, true, 0.01, {0.3, 0.7, 0.1}, {0.0, 0.4, 1.0}, true, 0xf554063e8f095fd5ull},
        {"dark", 641, 97, 11, true, 0.4, {1.0}, {0.0}, false, 0xcc0c8f4d650db030ull},
        {"bright", 203, 49, 1, true, 0.0008, {0.0, 0.25}, {0.1, 0.0}, true, 0x9dbd87b0875abdfeull},
        {"hdr", 1001, 48, 42, true, 0.05, {0.6}, {0.05}, false, 0xf8e9cbe73cab687full},
        {"grey", 65, 48, 9, true, 3.0, {0.9}, {0.9}, false, 0xb944d623ca384485ull},
        {"chart", 257, 50, 2, false, 0.02, {0.5, 0.55}, {0.2, 0.3}, true, 0x723904ae0462d625ull},
        {"hdr", 99, 61, 7, false, 0.03, {0.2}, {0.1}, false, 0x3b0a480b637fe439ull},
        // Large enough to be split between threads.
        {"chart", 1023, 201, 4, true, 0.02, {0.5, 0.6, 0.4}, {0.2, 0.1, 0.3}, true, 0x33a0af46b9a8c997ull},
    };
    for (const auto& [scene, width, height, seed, noise, level, contrast, brightness, gammaLut, hash] : cases) {
        kcSimCamera camera(kcSimScene::builtIn(scene, width, height), seed, noise);
        kcSimExposure exposure{.exposure = level, .tapContrast = contrast, .tapBrightness = brightness};
        if (gammaLut)
            for (int i = 0; i < 256; ++i)
                exposure.lut[static_cast<std::size_t>(i)] =
                    static_cast<unsigned char>(std::lround(255.0 * std::sqrt(i / 255.0)));
        EXPECT_EQ(framesHash(camera, exposure), hash) << scene << " " << width << "x" << height;
    }
}
