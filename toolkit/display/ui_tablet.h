// toolkit/display/ui_tablet.h
// kcUITablet: a drawing surface that records what is drawn on it as a
// kcUISketch.
#pragma once

#include <string>

#include "toolkit/display/ui_sketch.h"
#include "toolkit/display/ui_types.h"
#include "toolkit/foundation/export.h"

class KC_EXPORT kcUITablet {
public:
    // The layers of a drawing, drawn in order (0 first, at the bottom).
    enum Layers : int { eLayer0 = 0, eLayer1 = 1, eLayer2 = 2, eLayer3 = 3 };

    kcUITablet() = default;

    // Draws `text` with its reference point at `point`, in `primary` colour
    // with `secondary` as the second (outline) colour.
    void draw(const std::wstring& text, const kcPoint& point, const kcColor& primary, const kcColor& secondary,
              const kcUIFormat& format, Layers layer);

    // Everything drawn so far.
    const kcUISketch& sketch() const { return sketch_; }

private:
    kcUISketch sketch_;
};
