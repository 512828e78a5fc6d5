// toolkit/display/ui_sketch.h
// kcUISketch: a drawing recorded as a list of graphic items (text only).
#pragma once

#include <string>
#include <vector>

#include "toolkit/display/ui_types.h"
#include "toolkit/foundation/export.h"

// One piece of text placed at a point.
struct kcUISketchText {
    std::wstring text;
    kcPoint point;
    kcColor primaryColor;
    kcColor secondaryColor;
    kcUIFormat format;
    // The layer the text was drawn on (kcUITablet::Layers).
    int layer = 0;

    bool operator==(const kcUISketchText&) const = default;
};

// A value: copies are independent.
class KC_EXPORT kcUISketch {
public:
    kcUISketch() = default;

    void addText(const kcUISketchText& item);
    long numTexts() const { return static_cast<long>(texts_.size()); }
    // The item at `index`; kcBadArgument outside 0..numTexts()-1.
    const kcUISketchText& text(long index) const;
    // The items in drawing order.
    const std::vector<kcUISketchText>& texts() const { return texts_; }
    bool empty() const { return texts_.empty(); }

    bool operator==(const kcUISketch&) const = default;

private:
    std::vector<kcUISketchText> texts_;
};
