// toolkit/acq/genicam/bayer_demosaic.h
// Conversion of 8-bit camera pixel layouts (Bayer mosaics, packed RGB,
// mono) into the toolkit's pel buffers.
#pragma once

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// The colour filter of the 2 x 2 cell at the image's top-left corner, read
// row by row: keBayerRG8 has red at (0, 0), green at (1, 0) and (0, 1),
// blue at (1, 1).
enum keBayerPattern { keBayerRG8, keBayerGR8, keBayerGB8, keBayerBG8 };

// Bilinear demosaic of an 8-bit Bayer mosaic of width x height pels, rows
// `rowBytes` apart. Each missing colour is the rounded mean of the nearest
// two or four pels of that colour; at the image's edges the mosaic is
// mirrored about the edge pel, which keeps the colour pattern intact.
// kcBadArgument for a width or height below 2, or rows shorter than the
// width; kcBadPointer for null pels.
KC_EXPORT kc3PlanePelBuffer kfDemosaicBayer8(const unsigned char* pels, long width, long height, long rowBytes,
                                             keBayerPattern pattern);

// Packed 8-bit RGB (red, green, blue per pel) into three planes.
KC_EXPORT kc3PlanePelBuffer kfUnpackRgb8(const unsigned char* pels, long width, long height, long rowBytes);

// 8-bit mono rows into one plane.
KC_EXPORT kcPelBuffer<unsigned char> kfCopyMono8(const unsigned char* pels, long width, long height, long rowBytes);
