// toolkit/sim/sim_camera.h
// kcSimCamera: a simulated colour camera. It renders, for given settings,
// the 8-bit three-plane image a camera would deliver of a kcSimScene.
//
// Sensor model, per pel and plane:
//   signal = gain(contrast) * exposure * kExposureScale * radiance
//   value  = signal + offset(brightness) + noise
//   pel    = lut[clamp(round(value), 0, 255)]
// with gain(c) = 2^(4 c) and offset(b) = 60 b grey levels (see the .cpp);
// noise is shot noise (variance proportional to the signal, amplified with
// the gain) plus read noise, drawn from a generator seeded at construction:
// the same seed, scene and sequence of calls give the same images.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/export.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"
#include "toolkit/sim/sim_scene.h"

// Settings of one rendering. The image's columns are split into
// tapContrast.size() vertical stripes of (nearly) equal width, tap i
// rendered with tapContrast[i] and tapBrightness[i]; both vectors must have
// the same, non-zero size (kcBadArgument otherwise).
struct KC_EXPORT kcSimExposure {
    double exposure = 0.0;
    std::vector<double> tapContrast{0.0};
    std::vector<double> tapBrightness{0.0};
    // The 8-bit input LUT; identity by default.
    std::array<unsigned char, 256> lut = identityLut();

    static std::array<unsigned char, 256> identityLut();
};

class KC_EXPORT kcSimCamera {
public:
    // Grey levels per unit of exposure x radiance at gain 1: the built-in
    // "chart" at contrast 0.5 and brightness 0.2 is well exposed between
    // exposures of about 0.01 and 0.03.
    static constexpr double kExposureScale = 2000.0;
    // Standard deviation of the read noise, in grey levels.
    static constexpr double kReadNoiseSigma = 1.0;
    // Shot-noise variance, in grey levels squared, per grey level of signal
    // at gain 1; at gain g the variance is g times this times the signal.
    static constexpr double kShotNoisePerLevel = 0.03;

    // The analogue gain for a contrast: 2^(4 contrast), so contrast 0..1
    // spans a 16x gain.
    static double gain(double contrast);
    // The black offset for a brightness, in grey levels: 60 brightness.
    static double offset(double brightness);

    // A camera looking at `scene`, its noise generator seeded with `seed`.
    // noise false renders without noise (exact, for tests).
    explicit kcSimCamera(kcSimScene scene, std::uint64_t seed = 1, bool noise = true);

    // One image at one tap with these settings and the identity LUT.
    kc3PlanePelBuffer render(const kcColorCameraSettings& settings);
    // One image with per-tap settings and a LUT. kcBadArgument for an
    // exposure that is negative or not finite, a contrast or brightness that
    // is not finite, tap vectors of different or zero size, or more taps
    // than columns.
    kc3PlanePelBuffer render(const kcSimExposure& exposure);

    const kcSimScene& scene() const { return scene_; }
    long width() const { return scene_.width(); }
    long height() const { return scene_.height(); }
    // Images rendered so far.
    std::uint64_t frameCount() const { return frames_; }

private:
    kcSimScene scene_;
    std::uint64_t seed_;
    bool noise_;
    std::uint64_t frames_ = 0;
    // Standard normal deviates drawn once from the seed; each row of a frame
    // reads them in order from a start its frame's generator picks, which is
    // far cheaper than drawing a fresh deviate per pel.
    std::vector<float> normals_;
};
