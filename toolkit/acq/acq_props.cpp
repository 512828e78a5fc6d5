// toolkit/acq/acq_props.cpp
#include "toolkit/acq/acq_props.h"

namespace {
template <class Prop>
Prop& present(Prop* prop, const wchar_t* name) {
    if (prop == nullptr) throw kcPropertyNotSupported(std::wstring(L"the FIFO does not support the ") + name);
    return *prop;
}
}  // namespace

kcExposureProp& kcAcqProps::exposureProp() { return present(exposure_, L"exposure property"); }

const kcExposureProp& kcAcqProps::exposureProp() const { return present(exposure_, L"exposure property"); }

kcContrastBrightnessProp& kcAcqProps::contrastBrightnessProp() {
    return present(contrastBrightness_, L"contrast and brightness property");
}

const kcContrastBrightnessProp& kcAcqProps::contrastBrightnessProp() const {
    return present(contrastBrightness_, L"contrast and brightness property");
}

kc8BitInputLutProp& kcAcqProps::inputLutProp() { return present(inputLut_, L"8-bit input LUT property"); }

const kc8BitInputLutProp& kcAcqProps::inputLutProp() const { return present(inputLut_, L"8-bit input LUT property"); }
