// toolkit/acq/acq_props.h
// kcAcqProps: the table through which a FIFO's property interfaces are
// reached, and the error for a property the FIFO does not have.
#pragma once

#include <string>

#include "toolkit/acq/acq_properties.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/foundation/export.h"

// Asking a FIFO for a property interface it does not offer.
class KC_EXPORT kcPropertyNotSupported : public kcExceptionWithString {
    KC_CONCRETE_EXCEPTION(kcPropertyNotSupported, 0x10000301)
public:
    explicit kcPropertyNotSupported(const std::wstring& message = L"the FIFO does not support this property")
        : kcExceptionWithString(message) {}
};

// A FIFO keeps one kcAcqProps and returns it from properties(). The table
// borrows the interfaces: each pointer names an object that lives as long
// as the FIFO (usually the FIFO itself, or a member of it); a null pointer
// means the FIFO lacks that property. A FIFO that forwards to another may
// return the other FIFO's table or build its own over forwarding objects.
class KC_EXPORT kcAcqProps {
public:
    // A table without any property.
    kcAcqProps() = default;
    kcAcqProps(kcExposureProp* exposure, kcContrastBrightnessProp* contrastBrightness, kc8BitInputLutProp* inputLut)
        : exposure_(exposure), contrastBrightness_(contrastBrightness), inputLut_(inputLut) {}

    bool hasExposureProp() const { return exposure_ != nullptr; }
    bool hasContrastBrightnessProp() const { return contrastBrightness_ != nullptr; }
    bool has8BitInputLutProp() const { return inputLut_ != nullptr; }

    // The interfaces; kcPropertyNotSupported when the FIFO lacks one.
    kcExposureProp& exposureProp();
    const kcExposureProp& exposureProp() const;
    kcContrastBrightnessProp& contrastBrightnessProp();
    const kcContrastBrightnessProp& contrastBrightnessProp() const;
    kc8BitInputLutProp& inputLutProp();
    const kc8BitInputLutProp& inputLutProp() const;

private:
    kcExposureProp* exposure_ = nullptr;
    kcContrastBrightnessProp* contrastBrightness_ = nullptr;
    kc8BitInputLutProp* inputLut_ = nullptr;
};
