// toolkit/sim/sim_fifo_write.cpp
#include "toolkit/sim/sim_fifo_write.h"

#include <algorithm>
#include <sstream>

#include "toolkit/acq/acq_properties.h"

const char* kcSimFifoWrite::kindName(Kind kind) {
    switch (kind) {
        case eTriggerEnable:
            return "triggerEnable";
        case eTriggerModel:
            return "triggerModel";
        case eInputLut:
            return "inputLut";
        case eExposure:
            return "exposure";
        case eContrast:
            return "contrast";
        case eBrightness:
            return "brightness";
    }
    return "unknown";
}

std::string kcSimFifoWrite::describe() const {
    std::ostringstream out;
    out << kindName(kind) << '(';
    switch (kind) {
        case eTriggerEnable:
            out << (value != 0.0 ? "true" : "false");
            break;
        case eTriggerModel:
            out << (triggerModel != nullptr ? triggerModel->name() : std::string("null"));
            break;
        case eInputLut: {
            const bool positive = lut.size() == static_cast<std::size_t>(kc8BitInputLutProp::kLutSize) &&
                                  std::equal(lut.begin(), lut.end(), kc8BitInputLutProp::positive8BitLut);
            out << (lut.empty() ? "null" : positive ? "positive" : "custom");
            break;
        }
        case eExposure:
            out << value;
            break;
        case eContrast:
        case eBrightness:
            out << value << ", ";
            if (tap == kcContrastBrightnessProp::kAllTaps)
                out << "all";
            else
                out << "tap " << tap;
            break;
    }
    out << ')';
    return out.str();
}
