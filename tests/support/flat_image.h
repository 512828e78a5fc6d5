// tests/support/flat_image.h
// Images of one level, which the smoothing and the erosion leave as they are:
// the tool and measuring tests script their cases with them.
#pragma once

#include <cstring>

#include "toolkit/foundation/three_plane_pel_buffer.h"

// Every pel of every plane at `value`.
inline kc3PlanePelBuffer flat(unsigned char value, long width, long height) {
    kc3PlanePelBuffer image(width, height);
    for (kcPelBuffer<unsigned char> plane : {image.plane0(), image.plane1(), image.plane2()})
        for (long y = 0; y < height; ++y) std::memset(plane.pointToRow(y), value, static_cast<std::size_t>(width));
    return image;
}
