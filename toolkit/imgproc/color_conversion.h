// toolkit/imgproc/color_conversion.h
// Colour conversions of three-plane images (planes 0, 1, 2 = R, G, B).
#pragma once

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Converts to hue, saturation and intensity planes (planes 0, 1, 2 of the
// destination, which becomes a new image of the source window's size).
// Hue is the hexagonal hue angle scaled to 0..255 (256 steps per turn,
// rounded): red 0, green 85, blue 171; a grey pel (equal planes) has hue 0
// and saturation 0. Intensity is (R + G + B) / 3 rounded to nearest;
// saturation is 255 x (1 - min / intensity') with intensity' the unrounded
// mean, rounded to nearest with halves up. All three are exact (integer
// and exactly rounded arithmetic). kcUnboundBuffer for an unbound source.
KC_EXPORT void kfPelRGBToHSI(const kc3PlanePelBuffer& source, kc3PlanePelBuffer& destination);

// The intensity plane alone, (R + G + B) / 3 rounded to nearest, into a new
// image of the source window's size. kcUnboundBuffer for an unbound source.
KC_EXPORT void kfPelRGBToI(const kc3PlanePelBuffer& source, kcPelBuffer<unsigned char>& destination);

// The hue plane alone, exactly plane 0 of kfPelRGBToHSI, into a new image of
// the source window's size. kcUnboundBuffer for an unbound source.
KC_EXPORT void kfPelRGBToHue(const kc3PlanePelBuffer& source, kcPelBuffer<unsigned char>& destination);

// One row of hue, as kfPelRGBToHue gives it: hue[x] from r[x], g[x], b[x] for
// x below width. For loops that need the hue of a row at a time without an
// image for it; `hue` must not overlap the inputs.
KC_EXPORT void kfRGBRowToHue(const unsigned char* r, const unsigned char* g, const unsigned char* b, unsigned char* hue,
                             long width);
