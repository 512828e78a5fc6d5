// toolkit/diag/diag_record.cpp
#include "toolkit/diag/diag_record.h"

#include <algorithm>

namespace {
// A new buffer holding the pels of `source`'s window.
kcPelBuffer<unsigned char> copyOf(const kcPelBuffer_const<unsigned char>& source) {
    kcPelBuffer<unsigned char> copy(source.width(), source.height());
    const kcPelRect& window = source.window();
    for (long y = 0; y < source.height(); ++y) {
        const unsigned char* from = source.pointToRow(window.top() + y);
        std::copy(from, from + source.width(), copy.pointToRow(y));
    }
    return copy;
}
}  // namespace

void kcDiagRecord::image(const kc3PlanePelBuffer& image, bool copy) {
    if (!image.isBound()) throw kcBadArgument(L"cannot record an unbound colour image");
    kcDiagImage entry;
    entry.isColor = true;
    entry.color =
        copy ? kc3PlanePelBuffer(copyOf(image.plane0()), copyOf(image.plane1()), copyOf(image.plane2())) : image;
    images_.push_back(std::move(entry));
}

void kcDiagRecord::image(const kcPelBuffer_const<unsigned char>& image, bool copy) {
    if (!image.isBound()) throw kcBadArgument(L"cannot record an unbound grey image");
    kcDiagImage entry;
    entry.isColor = false;
    entry.grey = copy ? copyOf(image) : image;
    images_.push_back(std::move(entry));
}

void kcDiagRecord::recordAnnotation(const std::wstring& text) { annotations_.push_back(text); }

void kcDiagRecord::sketch(const kcUISketch& sketch, kcDisplay::CoordinateSystem coordinates, const std::wstring& name) {
    sketches_.push_back(kcDiagSketch{sketch, coordinates, name});
}
