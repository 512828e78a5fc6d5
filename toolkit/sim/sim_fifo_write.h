// toolkit/sim/sim_fifo_write.h
// kcSimFifoWrite: one property write received by a simulated FIFO, as kept
// in its write log so tests can check what was written and in which order.
#pragma once

#include <string>
#include <vector>

#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/export.h"

struct KC_EXPORT kcSimFifoWrite {
    enum Kind { eTriggerEnable, eTriggerModel, eInputLut, eExposure, eContrast, eBrightness };

    Kind kind = eExposure;
    // eExposure, eContrast, eBrightness: the value written;
    // eTriggerEnable: 1.0 for enable, 0.0 for disable.
    double value = 0.0;
    // eContrast, eBrightness: the tap argument as passed
    // (kcContrastBrightnessProp::kAllTaps or a tap number).
    long tap = 0;
    // eTriggerModel: the model written.
    const kcTriggerModel* triggerModel = nullptr;
    // eInputLut: the 256 entries written (empty for a null table).
    std::vector<unsigned char> lut;
    // False when the write was refused (an injected fault or a bad value).
    bool applied = false;

    // "exposure", "contrast", ...
    static const char* kindName(Kind kind);
    // A readable form: "triggerEnable(false)", "triggerModel(manual)",
    // "inputLut(positive)" or "inputLut(custom)", "exposure(0.01)",
    // "contrast(0.5, all)", "brightness(0.25, tap 1)".
    std::string describe() const;
};
