// toolkit/foundation/three_plane_pel_buffer.cpp
#include "toolkit/foundation/three_plane_pel_buffer.h"

#include <string>

kc3PlanePelBuffer::kc3PlanePelBuffer(long width, long height)
    : planes_{kcPelBuffer<unsigned char>(width, height), kcPelBuffer<unsigned char>(width, height),
              kcPelBuffer<unsigned char>(width, height)} {}

kc3PlanePelBuffer::kc3PlanePelBuffer(const kcPelBuffer<unsigned char>& plane0, const kcPelBuffer<unsigned char>& plane1,
                                     const kcPelBuffer<unsigned char>& plane2)
    : planes_{plane0, plane1, plane2} {
    const bool bound = plane0.isBound();
    if (plane1.isBound() != bound || plane2.isBound() != bound)
        throw kcBadArgument(L"three-plane image built from bound and unbound planes");
    for (const auto& p : planes_) {
        if (p.width() != plane0.width() || p.height() != plane0.height())
            throw kcBadArgument(L"three-plane image built from planes of different sizes: " +
                                std::to_wstring(plane0.width()) + L" x " + std::to_wstring(plane0.height()) +
                                L" and " + std::to_wstring(p.width()) + L" x " + std::to_wstring(p.height()));
    }
}

void kc3PlanePelBuffer::window(const kcPelRect& rect) {
    kcPelBuffer<unsigned char> moved[3] = {planes_[0], planes_[1], planes_[2]};
    for (auto& p : moved) p.window(rect);  // throws before anything changes
    for (int i = 0; i < 3; ++i) planes_[i] = moved[i];
}

const kcPelBuffer<unsigned char>& kc3PlanePelBuffer::plane(int index) const {
    if (index < 0 || index > 2) throw kcBadArgument(L"plane index " + std::to_wstring(index) + L" is not 0, 1 or 2");
    return planes_[index];
}
