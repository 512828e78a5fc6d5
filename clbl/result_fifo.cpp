// clbl/result_fifo.cpp
// Applying a balancing result to a FIFO.
#include "clbl/result.h"
#include "toolkit/acq/acq_fifo.h"
#include "toolkit/acq/acq_properties.h"

void kcColorBalanceResult::setFifoProperties(kcPtrHandle<kcAcqFifo> fifo) const {
    fifo->properties().exposureProp().exposure(exposure_);
    fifo->properties().contrastBrightnessProp().setContrastEx(contrast_, kcContrastBrightnessProp::kAllTaps);
    fifo->properties().contrastBrightnessProp().setBrightnessEx(brightness_, kcContrastBrightnessProp::kAllTaps);
    // Without the positive table the FIFO keeps the LUT it has.
    if (positive8BitLut_) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);
}
