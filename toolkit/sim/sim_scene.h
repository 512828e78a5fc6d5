// toolkit/sim/sim_scene.h
// kcSimScene: what the simulated camera looks at, as linear radiance per
// pel and plane (planes 0, 1, 2 = R, G, B), in relative units where 1.0 is
// a white patch under the scene's light.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/foundation/export.h"

class KC_EXPORT kcSimScene {
public:
    // Smallest and largest sizes the simulator renders.
    static constexpr long kMinWidth = 64;
    static constexpr long kMinHeight = 48;
    static constexpr long kMaxWidth = 2448;
    static constexpr long kMaxHeight = 2048;

    // A black scene of the given size (kcBadArgument outside the sizes above).
    kcSimScene(long width, long height);

    // The built-in scenes, by name: "chart" (a colour chart of patches),
    // "dark" (a dim scene), "bright" (a brightly lit scene), "hdr" (a scene
    // of high dynamic range: deep shadows and bright highlights), "grey" (a
    // flat mid-grey). kcBadArgument for an unknown name, listing the known ones.
    static kcSimScene builtIn(const std::string& name, long width, long height);
    static std::vector<std::string> builtInNames();
    // One line describing a built-in scene (kcBadArgument for an unknown name).
    static std::string describe(const std::string& name);

    // A scene from 8-bit sRGB-like pels (three bytes per pel, row-major,
    // R G B), taken as linear radiance value / 255, resampled (nearest) to
    // width x height. kcBadArgument for inconsistent sizes.
    static kcSimScene fromRgb8(const std::vector<unsigned char>& rgb, long sourceWidth, long sourceHeight, long width,
                               long height);
    // A scene from a binary PPM file (P6, maxval 1 to 65535; samples of two
    // bytes, most significant first, when maxval exceeds 255), taken as
    // linear radiance sample / maxval and resampled (nearest) to width x
    // height; a width or height of 0 keeps the file's width or height
    // (clamped into the simulator's range). kcBadArgument for a file that
    // cannot be read or is not a valid binary PPM: a bad header, sides above
    // kMaxFileSide, pel data shorter or longer than the header announces.
    static kcSimScene fromPpm(const std::string& path, long width = 0, long height = 0);
    // Largest width or height accepted from a file or an 8-bit source.
    static constexpr long kMaxFileSide = 32768;

    long width() const { return width_; }
    long height() const { return height_; }
    // Radiance of row y of plane p (0..2), width() values (kcBadArgument for
    // a plane or row outside the scene).
    const float* row(int plane, long y) const;
    float* row(int plane, long y);

private:
    long width_;
    long height_;
    std::vector<float> radiance_;  // plane-major, then row-major
};
