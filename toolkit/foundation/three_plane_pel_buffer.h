// toolkit/foundation/three_plane_pel_buffer.h
// kc3PlanePelBuffer: a colour image held as three 8-bit planes of one size
// (planes 0, 1, 2 are red, green and blue). Copies share the pels.
#pragma once

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"

class KC_EXPORT kc3PlanePelBuffer {
public:
    // An unbound image.
    kc3PlanePelBuffer() = default;
    // A new image of three zeroed planes.
    kc3PlanePelBuffer(long width, long height);
    // An image over three planes, which it shares; their windows must have
    // the same size (kcBadArgument otherwise). All three must be bound, or
    // all three unbound.
    kc3PlanePelBuffer(const kcPelBuffer<unsigned char>& plane0, const kcPelBuffer<unsigned char>& plane1,
                      const kcPelBuffer<unsigned char>& plane2);

    bool isBound() const { return planes_[0].isBound(); }
    // The window of plane 0 (the three have the same size).
    const kcPelRect& window() const { return planes_[0].window(); }
    long width() const { return planes_[0].width(); }
    long height() const { return planes_[0].height(); }
    // Moves the window of all three planes.
    void window(const kcPelRect& rect);

    kcPelBuffer_const<unsigned char> plane0() const { return planes_[0]; }
    kcPelBuffer_const<unsigned char> plane1() const { return planes_[1]; }
    kcPelBuffer_const<unsigned char> plane2() const { return planes_[2]; }
    kcPelBuffer<unsigned char> plane0() { return planes_[0]; }
    kcPelBuffer<unsigned char> plane1() { return planes_[1]; }
    kcPelBuffer<unsigned char> plane2() { return planes_[2]; }
    // Plane 0, 1 or 2 (kcBadArgument otherwise).
    const kcPelBuffer<unsigned char>& plane(int index) const;

private:
    kcPelBuffer<unsigned char> planes_[3];
};
