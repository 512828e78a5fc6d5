// toolkit/display/ui_sketch.cpp
#include "toolkit/display/ui_sketch.h"

#include "toolkit/foundation/exceptions.h"

void kcUISketch::addText(const kcUISketchText& item) { texts_.push_back(item); }

const kcUISketchText& kcUISketch::text(long index) const {
    if (index < 0 || index >= numTexts())
        throw kcBadArgument(L"sketch text index " + std::to_wstring(index) + L" is out of range: the sketch holds " +
                            std::to_wstring(numTexts()) + L" texts");
    return texts_[static_cast<std::size_t>(index)];
}
