// toolkit/diag/diag_record.h
// kcDiagRecord: one diagnostics record (images, annotations and sketches
// that a tool leaves for inspection), readable so a program can export it.
#pragma once

#include <string>
#include <vector>

#include "toolkit/display/display.h"
#include "toolkit/display/ui_sketch.h"
#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// A recorded image: a colour image or an 8-bit grey image.
struct kcDiagImage {
    bool isColor = false;
    kc3PlanePelBuffer color;                // bound when isColor
    kcPelBuffer_const<unsigned char> grey;  // bound when !isColor
};

// A recorded sketch with the coordinates it is drawn in and its name.
struct kcDiagSketch {
    kcUISketch sketch;
    kcDisplay::CoordinateSystem coordinates = kcDisplay::eImageCoordinates;
    std::wstring name;
};

// Each kind of entry is kept in the order it was recorded.
class KC_EXPORT kcDiagRecord {
public:
    kcDiagRecord() = default;

    // Records an image. With copy false the record shares the caller's pels
    // (later changes to them show in the record); with copy true it keeps
    // its own copy of the window. kcBadArgument for an unbound image.
    void image(const kc3PlanePelBuffer& image, bool copy);
    void image(const kcPelBuffer_const<unsigned char>& image, bool copy);
    void recordAnnotation(const std::wstring& text);
    void sketch(const kcUISketch& sketch, kcDisplay::CoordinateSystem coordinates, const std::wstring& name);

    const std::vector<kcDiagImage>& images() const { return images_; }
    const std::vector<std::wstring>& annotations() const { return annotations_; }
    const std::vector<kcDiagSketch>& sketches() const { return sketches_; }

private:
    std::vector<kcDiagImage> images_;
    std::vector<std::wstring> annotations_;
    std::vector<kcDiagSketch> sketches_;
};
