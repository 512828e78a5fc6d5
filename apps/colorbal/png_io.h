// apps/colorbal/png_io.h
// PNG encoding of 8-bit images (colour or grey) and decoding of a PNG file
// to 8-bit RGB, through libpng's simplified interface.
#pragma once

#include <string>
#include <vector>

#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// An 8-bit RGB image, three bytes per pel, rows top to bottom.
struct kcRgb8Image {
    long width = 0;
    long height = 0;
    std::vector<unsigned char> rgb;
};

// The window of the image as a PNG file's bytes (RGB, or grey for a single
// plane). kcRunError when libpng fails; kcUnboundBuffer for an unbound image.
std::vector<unsigned char> kfEncodePng(const kc3PlanePelBuffer& image);
std::vector<unsigned char> kfEncodePng(const kcPelBuffer_const<unsigned char>& image);

// Reads a PNG file of any colour type and bit depth as 8-bit RGB (alpha
// composited onto black, 16-bit samples reduced). kcUsageError naming the
// file when it cannot be read, is not a PNG, is truncated or corrupted, or
// is larger than kMaxPngPels.
kcRgb8Image kfReadPngRgb8(const std::string& path);

// Largest PNG accepted, in pels: a small file can announce a huge image.
constexpr long kMaxPngPels = 64L * 1024L * 1024L;
