// toolkit/imgproc/morphology.h
// Grey-level morphology with 3x3 structuring elements.
#pragma once

#include <vector>

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"

class kcGMorphDefs {
public:
    enum ElementType {
        eCross3x3 = 0,   // the centre and its four edge neighbours
        eSquare3x3 = 1,  // all nine pels of the 3x3 neighbourhood
    };
};

class KC_EXPORT kcGMorph3x3Element {
public:
    // kcBadArgument for a type other than the two above.
    explicit kcGMorph3x3Element(kcGMorphDefs::ElementType type = kcGMorphDefs::eSquare3x3);
    kcGMorphDefs::ElementType type() const { return type_; }

private:
    kcGMorphDefs::ElementType type_;
};

// A structuring element made of 3x3 elements applied one after the other
// (none: erosion copies the source).
class KC_EXPORT kcGMorphElement {
public:
    explicit kcGMorphElement(const std::vector<kcGMorph3x3Element>& elements);

    // Grey erosion: each destination pel is the minimum of the source pels
    // under the element centred on it. Pels beyond the window's border are
    // the border pels replicated. The destination becomes a new image of
    // the source window's size. kcUnboundBuffer for an unbound source.
    void erode(const kcPelBuffer_const<unsigned char>& source, kcPelBuffer<unsigned char>& destination) const;

private:
    std::vector<kcGMorph3x3Element> elements_;
};
