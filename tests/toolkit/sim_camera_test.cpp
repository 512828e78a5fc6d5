// tests/toolkit/sim_camera_test.cpp
#include "toolkit/sim/sim_camera.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/foundation/exceptions.h"

namespace {

const kcPelBuffer<unsigned char>& planeOf(const kc3PlanePelBuffer& image, int p) { return image.plane(p); }

double planeMean(const kc3PlanePelBuffer& image, int p) {
    double sum = 0.0;
    for (long y = 0; y < image.height(); ++y) {
        const unsigned char* row = planeOf(image, p).pointToRow(y);
        for (long x = 0; x < image.width(); ++x) sum += row[x];
    }
    return sum / static_cast<double>(image.width() * image.height());
}

double planeSDev(const kc3PlanePelBuffer& image, int p) {
    const double mean = planeMean(image, p);
    double sum = 0.0;
    for (long y = 0; y < image.height(); ++y) {
        const unsigned char* row = planeOf(image, p).pointToRow(y);
        for (long x = 0; x < image.width(); ++x) sum += (row[x] - mean) * (row[x] - mean);
    }
    return std::sqrt(sum / static_cast<double>(image.width() * image.height()));
}

bool samePels(const kc3PlanePelBuffer& a, const kc3PlanePelBuffer& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < a.height(); ++y)
            for (long x = 0; x < a.width(); ++x)
                if (planeOf(a, p).pointToRow(y)[x] != planeOf(b, p).pointToRow(y)[x]) return false;
    return true;
}

// Every pel of every plane, for exact comparisons.
std::vector<int> pels(const kc3PlanePelBuffer& image) {
    std::vector<int> out;
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < image.height(); ++y)
            for (long x = 0; x < image.width(); ++x) out.push_back(planeOf(image, p).pointToRow(y)[x]);
    return out;
}

// A scene of one 8-bit colour everywhere.
kcSimScene uniformScene(unsigned char r, unsigned char g, unsigned char b, long width = 64, long height = 48) {
    return kcSimScene::fromRgb8({r, g, b}, 1, 1, width, height);
}

// A fresh directory for the files of one test, removed afterwards.
class TempDir {
public:
    explicit TempDir(const std::string& name)
        : path_(std::filesystem::temp_directory_path() /
                ("clbl_sim_" + name + "_" + std::to_string(static_cast<long>(::getpid())))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::filesystem::path path_;
};

std::string ppm(const std::string& header, const std::vector<unsigned char>& data) {
    return header + std::string(data.begin(), data.end());
}

}  // namespace

TEST(SimCamera, GreyMeanRisesWithExposureUntilItClipsAt255) {
    kcSimCamera exact(kcSimScene::builtIn("grey", 320, 240), 3, false);
    kcSimCamera noisy(kcSimScene::builtIn("grey", 320, 240), 3, true);
    double lastExact = -1.0, lastNoisy = -1.0;
    bool clipped = false;
    for (double exposure = 1e-3; exposure < 1.0; exposure *= 2.0) {
        const double mean = planeMean(exact.render(kcColorCameraSettings(exposure, 0.5, 0.0)), 1);
        const double noisyMean = planeMean(noisy.render(kcColorCameraSettings(exposure, 0.5, 0.0)), 1);
        if (clipped) {
            EXPECT_EQ(mean, 255.0) << exposure;
        } else {
            EXPECT_GT(mean, lastExact) << exposure;
        }
        clipped = clipped || mean == 255.0;
        EXPECT_GE(noisyMean, lastNoisy - 0.5) << exposure;
        lastExact = mean;
        lastNoisy = noisyMean;
    }
    EXPECT_TRUE(clipped);
    EXPECT_EQ(lastNoisy, 255.0);
}

TEST(SimCamera, ContrastMultipliesTheSignalAndBrightnessAddsAnOffset) {
    EXPECT_EQ(kcSimCamera::gain(0.0), 1.0);
    EXPECT_EQ(kcSimCamera::gain(0.25), 2.0);
    EXPECT_EQ(kcSimCamera::gain(1.0), 16.0);
    EXPECT_EQ(kcSimCamera::offset(0.0), 0.0);
    EXPECT_EQ(kcSimCamera::offset(1.0), 60.0);

    // Radiance 0.2 at exposure 0.05 gives 20 grey levels at gain 1.
    kcSimCamera camera(uniformScene(51, 51, 51), 1, false);
    const auto level = [&](double contrast, double brightness) {
        return planeOf(camera.render(kcColorCameraSettings(0.05, contrast, brightness)), 0).pointToRow(10)[10];
    };
    EXPECT_EQ(level(0.0, 0.0), 20);
    EXPECT_EQ(level(0.25, 0.0), 40);
    EXPECT_EQ(level(0.5, 0.0), 80);
    EXPECT_EQ(level(0.0, 0.5), 50);
    EXPECT_EQ(level(0.5, 1.0), 140);
    // Without noise every pel is exactly the model: round(clamp(gain x
    // exposure x scale x radiance + offset)), in single precision.
    kcSimCamera chart(kcSimScene::builtIn("chart", 100, 60), 1, false);
    const kc3PlanePelBuffer image = chart.render(kcColorCameraSettings(0.03, 0.6, 0.3));
    const auto scale = static_cast<float>(kcSimCamera::gain(0.6) * 0.03 * kcSimCamera::kExposureScale);
    const auto offset = static_cast<float>(kcSimCamera::offset(0.3));
    int saturated = 0;
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < 60; ++y)
            for (long x = 0; x < 100; ++x) {
                const float value = std::min(scale * chart.scene().row(p, y)[x] + offset, 255.0f);
                ASSERT_EQ(planeOf(image, p).pointToRow(y)[x], static_cast<int>(value + 0.5f)) << p << " " << x;
                saturated += value == 255.0f;
            }
    EXPECT_GT(saturated, 0);

    // Noise grows with the gain: the same mean level reached with more gain
    // and less exposure is noisier.
    kcSimCamera noisy(kcSimScene::builtIn("grey", 320, 240), 1, true);
    const double lowGain = planeSDev(noisy.render(kcColorCameraSettings(0.32, 0.0, 0.0)), 1);
    const double highGain = planeSDev(noisy.render(kcColorCameraSettings(0.02, 1.0, 0.0)), 1);
    EXPECT_GT(highGain, 1.5 * lowGain);
}

TEST(SimCamera, ClipsAtZeroAndAt255) {
    for (bool noise : {false, true}) {
        kcSimCamera camera(kcSimScene::builtIn("chart", 64, 48), 5, noise);
        const auto dark = pels(camera.render(kcColorCameraSettings(0.0, 0.0, -1.0)));
        for (int v : dark) ASSERT_EQ(v, 0) << noise;
        const auto bright = pels(camera.render(kcColorCameraSettings(1e6, 1.0, 0.0)));
        for (int v : bright) ASSERT_EQ(v, 255) << noise;
        const auto flooded = pels(camera.render(kcColorCameraSettings(0.0, 0.0, 100.0)));
        for (int v : flooded) ASSERT_EQ(v, 255) << noise;
    }
}

TEST(SimCamera, AppliesTheInputLutLast) {
    kcSimCamera camera(kcSimScene::builtIn("chart", 64, 48), 2, false);
    kcSimExposure exposure;
    exposure.exposure = 0.02;
    exposure.tapContrast = {0.5};
    exposure.tapBrightness = {0.2};
    const auto plain = pels(camera.render(exposure));
    for (int i = 0; i < 256; ++i) exposure.lut[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
    const auto inverted = pels(camera.render(exposure));
    ASSERT_EQ(plain.size(), inverted.size());
    for (std::size_t i = 0; i < plain.size(); ++i) ASSERT_EQ(inverted[i], 255 - plain[i]) << i;
    // Clipped pels pass through the LUT too.
    exposure.exposure = 10.0;
    for (int v : pels(camera.render(exposure))) ASSERT_EQ(v, 0);
}

TEST(SimCamera, RendersEachTapAsAStripeWithItsOwnSettings) {
    kcSimCamera camera(uniformScene(51, 51, 51, 64, 48), 1, false);
    kcSimExposure exposure;
    exposure.exposure = 0.05;
    exposure.tapContrast = {0.0, 0.5, 0.0};
    exposure.tapBrightness = {0.0, 0.0, 0.5};
    const kc3PlanePelBuffer image = camera.render(exposure);
    // 64 columns in three taps: 0..20, 21..41, 42..63.
    for (int p = 0; p < 3; ++p) {
        const unsigned char* row = planeOf(image, p).pointToRow(47);
        EXPECT_EQ(row[0], 20);
        EXPECT_EQ(row[20], 20);
        EXPECT_EQ(row[21], 80);
        EXPECT_EQ(row[41], 80);
        EXPECT_EQ(row[42], 50);
        EXPECT_EQ(row[63], 50);
    }

    exposure.tapBrightness = {0.0, 0.0};
    EXPECT_THROW(camera.render(exposure), kcBadArgument);
    exposure.tapContrast.clear();
    exposure.tapBrightness.clear();
    EXPECT_THROW(camera.render(exposure), kcBadArgument);
    exposure.tapContrast.assign(65, 0.0);
    exposure.tapBrightness.assign(65, 0.0);
    EXPECT_THROW(camera.render(exposure), kcBadArgument);
    exposure.tapContrast = {std::numeric_limits<double>::quiet_NaN()};
    exposure.tapBrightness = {0.0};
    EXPECT_THROW(camera.render(exposure), kcBadArgument);
    EXPECT_THROW(camera.render(kcColorCameraSettings(-0.1, 0.0, 0.0)), kcBadArgument);
    EXPECT_THROW(camera.render(kcColorCameraSettings(0.1, 0.0, std::numeric_limits<double>::infinity())),
                 kcBadArgument);
    EXPECT_EQ(camera.frameCount(), 1U);
}

TEST(SimCamera, TheSameSeedGivesTheSameImagesAndAnotherSeedOthers) {
    const kcSimScene scene = kcSimScene::builtIn("chart", 320, 240);
    const kcColorCameraSettings settings(0.02, 0.5, 0.2);
    kcSimCamera a(scene, 42), b(scene, 42), c(scene, 43);
    const kc3PlanePelBuffer a1 = a.render(settings), a2 = a.render(settings);
    const kc3PlanePelBuffer b1 = b.render(settings), b2 = b.render(settings);
    EXPECT_TRUE(samePels(a1, b1));
    EXPECT_TRUE(samePels(a2, b2));
    EXPECT_FALSE(samePels(a1, a2));  // each frame has its own noise
    EXPECT_FALSE(samePels(a1, c.render(settings)));
    EXPECT_EQ(a.frameCount(), 2U);

    // The noise has about the size the model gives: read noise alone at black
    // is 1 grey level, around an offset that keeps it off the clip.
    kcSimCamera flat(kcSimScene(64, 48), 9);
    const double readNoise = planeSDev(flat.render(kcColorCameraSettings(0.0, 0.0, 0.5)), 1);
    EXPECT_NEAR(readNoise, kcSimCamera::kReadNoiseSigma, 0.1);

    // Without noise the seed does not matter.
    kcSimCamera d(scene, 1, false), e(scene, 2, false);
    EXPECT_TRUE(samePels(d.render(settings), e.render(settings)));
}

TEST(SimScene, EveryBuiltInSceneRendersWithTextureAtSmallAndMediumSizes) {
    const std::vector<std::string> names = kcSimScene::builtInNames();
    EXPECT_EQ(names, (std::vector<std::string>{"chart", "dark", "bright", "hdr", "grey"}));
    for (const std::string& name : names) {
        EXPECT_FALSE(kcSimScene::describe(name).empty());
        for (const auto& [w, h] : {std::pair{64L, 48L}, std::pair{320L, 240L}}) {
            kcSimCamera camera(kcSimScene::builtIn(name, w, h), 1, false);
            EXPECT_EQ(camera.width(), w);
            EXPECT_EQ(camera.height(), h);
            // Expose each scene so that its mean green sits mid-scale.
            const double exposure = name == "dark" ? 0.3 : name == "bright" ? 0.001 : 0.02;
            const kc3PlanePelBuffer image = camera.render(kcColorCameraSettings(exposure, 0.5, 0.0));
            EXPECT_EQ(image.width(), w);
            EXPECT_EQ(image.height(), h);
            for (int p = 0; p < 3; ++p) EXPECT_GT(planeSDev(image, p), 0.0) << name << " " << w;
        }
    }
    EXPECT_THROW(kcSimScene::builtIn("sunset", 64, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene::describe("sunset"), kcBadArgument);
    // The same name and size always give the same radiances.
    const kcSimScene a = kcSimScene::builtIn("hdr", 100, 80), b = kcSimScene::builtIn("hdr", 100, 80);
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < 80; ++y)
            for (long x = 0; x < 100; ++x) ASSERT_EQ(a.row(p, y)[x], b.row(p, y)[x]);
}

TEST(SimScene, ChartDarkBrightAndHdrNeedTheExposuresTheirNamesPromise) {
    // The exposure at which the brightest green pel of a noiseless image
    // first reaches 200, at brightness 0.
    const auto exposureFor = [](const std::string& name, double contrast) {
        kcSimCamera camera(kcSimScene::builtIn(name, 160, 120), 1, false);
        for (double exposure = 1e-6; exposure < 10.0; exposure *= 1.25) {
            const kc3PlanePelBuffer image = camera.render(kcColorCameraSettings(exposure, contrast, 0.0));
            for (long y = 0; y < image.height(); ++y)
                for (long x = 0; x < image.width(); ++x)
                    if (image.plane1().pointToRow(y)[x] >= 200) return exposure;
        }
        return 10.0;
    };
    const double chart = exposureFor("chart", 0.5);
    EXPECT_GT(chart, 0.015);
    EXPECT_LT(chart, 0.04);
    EXPECT_GT(exposureFor("dark", 0.5), 10.0 * chart);
    EXPECT_LT(exposureFor("dark", 1.0), 0.3);  // still within reach of the usual search range
    EXPECT_LT(exposureFor("bright", 0.5), chart / 10.0);

    // The chart is well exposed at contrast 0.5, brightness 0.2: no plane
    // dark or saturated anywhere at exposure 0.02.
    kcSimCamera camera(kcSimScene::builtIn("chart", 320, 240), 1, true);
    for (int v : pels(camera.render(kcColorCameraSettings(0.02, 0.5, 0.2)))) {
        ASSERT_GE(v, 5);
        ASSERT_LE(v, 239);
    }

    const kcSimScene hdr = kcSimScene::builtIn("hdr", 320, 240);
    float lowest = std::numeric_limits<float>::max(), highest = 0.0f;
    for (long y = 0; y < hdr.height(); ++y)
        for (long x = 0; x < hdr.width(); ++x) {
            const float luminance = (hdr.row(0, y)[x] + hdr.row(1, y)[x] + hdr.row(2, y)[x]) / 3.0f;
            lowest = std::min(lowest, luminance);
            highest = std::max(highest, luminance);
        }
    EXPECT_GT(highest / lowest, 500.0f);
}

TEST(SimScene, RefusesSizesOutsideTheSimulatorsRange) {
    EXPECT_THROW(kcSimScene(63, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene(64, 47), kcBadArgument);
    EXPECT_THROW(kcSimScene(2449, 2048), kcBadArgument);
    EXPECT_THROW(kcSimScene(2448, 2049), kcBadArgument);
    EXPECT_THROW(kcSimScene::builtIn("chart", 0, 0), kcBadArgument);
    EXPECT_THROW(kcSimScene::builtIn("chart", -64, 48), kcBadArgument);
    const kcSimScene largest = kcSimScene::builtIn("chart", 2448, 2048);
    EXPECT_EQ(largest.width(), 2448);
    EXPECT_GT(largest.row(1, 2047)[2447], 0.0f);
    EXPECT_THROW(largest.row(3, 0), kcBadArgument);
    EXPECT_THROW(largest.row(0, 2048), kcBadArgument);
    EXPECT_THROW(largest.row(0, -1), kcBadArgument);
}

TEST(SimScene, ResamplesAnRgb8SourceAndRefusesInconsistentSizes) {
    // Four quadrants: red, green / blue, white.
    const std::vector<unsigned char> rgb{255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255};
    const kcSimScene scene = kcSimScene::fromRgb8(rgb, 2, 2, 64, 48);
    EXPECT_EQ(scene.row(0, 0)[31], 1.0f);
    EXPECT_EQ(scene.row(1, 0)[31], 0.0f);
    EXPECT_EQ(scene.row(1, 0)[32], 1.0f);
    EXPECT_EQ(scene.row(2, 24)[0], 1.0f);
    EXPECT_EQ(scene.row(0, 23)[0], 1.0f);
    EXPECT_EQ(scene.row(1, 47)[63], 1.0f);
    EXPECT_THROW(kcSimScene::fromRgb8(rgb, 2, 3, 64, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene::fromRgb8(rgb, 0, 2, 64, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene::fromRgb8({}, 0, 0, 64, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene::fromRgb8(rgb, 2, 2, 32, 48), kcBadArgument);
}

TEST(SimScene, ReadsBinaryPpmFilesWithCommentsAndWideSamples) {
    TempDir dir("ppm_ok");
    const std::vector<unsigned char> rgb{10,  20,  30,  40,  50,  60,  70,  80,  90,
                                         100, 110, 120, 130, 140, 150, 160, 170, 180};
    const std::string eight = dir.write("eight.ppm", ppm("P6\n# made by a test\n3 # width\n2\n255\n", rgb));
    const kcSimScene fromFile = kcSimScene::fromPpm(eight, 64, 48);
    const kcSimScene fromMemory = kcSimScene::fromRgb8(rgb, 3, 2, 64, 48);
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < 48; ++y)
            for (long x = 0; x < 64; ++x) ASSERT_EQ(fromFile.row(p, y)[x], fromMemory.row(p, y)[x]);

    // Sizes 0 keep the file's size, clamped into the simulator's range.
    EXPECT_EQ(kcSimScene::fromPpm(eight).width(), kcSimScene::kMinWidth);
    EXPECT_EQ(kcSimScene::fromPpm(eight).height(), kcSimScene::kMinHeight);
    std::vector<unsigned char> wide(100 * 50 * 3, 128);
    const std::string large = dir.write("large.ppm", ppm("P6 100 50 255\n", wide));
    EXPECT_EQ(kcSimScene::fromPpm(large).width(), 100);
    EXPECT_EQ(kcSimScene::fromPpm(large).height(), 50);
    EXPECT_EQ(kcSimScene::fromPpm(large, 0, 60).height(), 60);

    // Two bytes per sample, most significant first, above maxval 255.
    std::vector<unsigned char> sixteen;
    for (int i = 0; i < 3; ++i) sixteen.insert(sixteen.end(), {0x01, 0xF4});  // 500 of 1000
    const kcSimScene deep = kcSimScene::fromPpm(dir.write("deep.ppm", ppm("P6\n1 1\n1000\n", sixteen)), 64, 48);
    EXPECT_FLOAT_EQ(deep.row(2, 47)[63], 0.5f);

    // Round trip: a rendered image written as PPM reads back as its levels.
    kcSimCamera camera(kcSimScene::builtIn("chart", 64, 48), 1, false);
    const kc3PlanePelBuffer image = camera.render(kcColorCameraSettings(0.02, 0.5, 0.2));
    std::vector<unsigned char> written;
    for (long y = 0; y < 48; ++y)
        for (long x = 0; x < 64; ++x)
            for (int p = 0; p < 3; ++p) written.push_back(planeOf(image, p).pointToRow(y)[x]);
    const kcSimScene back = kcSimScene::fromPpm(dir.write("render.ppm", ppm("P6\n64 48\n255\n", written)));
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < 48; ++y)
            for (long x = 0; x < 64; ++x)
                ASSERT_EQ(back.row(p, y)[x], static_cast<float>(planeOf(image, p).pointToRow(y)[x]) / 255.0f);
}

TEST(SimScene, RefusesTruncatedGarbledAndOversizedPpmFiles) {
    TempDir dir("ppm_bad");
    const std::vector<unsigned char> six(2 * 1 * 3, 7);
    const std::vector<std::pair<std::string, std::string>> bad{
        {"empty", ""},
        {"plain", ppm("P3\n2 1\n255\n", six)},
        {"header_cut", "P6\n2 1\n"},
        {"no_separator", "P6\n2 1\n255"},
        {"short", ppm("P6\n2 1\n255\n", {7, 7, 7, 7, 7})},
        {"long", ppm("P6\n2 1\n255\n", {7, 7, 7, 7, 7, 7, 7})},
        {"maxval_zero", ppm("P6\n2 1\n0\n", six)},
        {"maxval_big", ppm("P6\n2 1\n65536\n", six)},
        {"width_zero", ppm("P6\n0 1\n255\n", {})},
        {"letters", ppm("P6\n2 x\n255\n", six)},
        {"negative", ppm("P6\n-2 1\n255\n", six)},
        {"digits", ppm("P6\n2 1234567890123\n255\n", six)},
        {"huge_side", ppm("P6\n40000 1\n255\n", six)},
        // Sides within bounds, but far more pels than the file holds: refused
        // before any pel memory is allocated.
        {"huge_claim", ppm("P6\n32768 32768\n65535\n", six)},
    };
    for (const auto& [name, bytes] : bad) {
        const std::string path = dir.write(name + ".ppm", bytes);
        try {
            kcSimScene::fromPpm(path, 64, 48);
            ADD_FAILURE() << name << " was accepted";
        } catch (const kcBadArgument& e) {
            EXPECT_NE(std::string(e.what()).find(name + ".ppm"), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(kcSimScene::fromPpm(dir.write("ok.ppm", ppm("P6\n2 1\n255\n", six)), -1, 48), kcBadArgument);
    EXPECT_THROW(kcSimScene::fromPpm("/nonexistent/dir/scene.ppm"), kcBadArgument);
}
