// clbl/driver.cpp
#include "clbl/driver.h"

#include <cstddef>
#include <vector>

#include "clbl/internal/fifo_handling.h"
#include "clbl/internal/result_diagnostics.h"
#include "clbl/tool.h"
#include "toolkit/acq/acq_properties.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/exceptions.h"
#include "toolkit/sys/attention.h"

namespace {
// The settings handed to the tool as the camera's present ones: the tool
// keeps them on disabled axes.
constexpr double kStartSettingsContrast = 0.0;
constexpr double kStartSettingsBrightness = 0.0;

// True when the FIFO's channel-0 LUT maps every value to itself. All
// entries are compared; a table of another size is not the identity.
bool hasIdentityLut(const kcPtrHandle<kcAcqFifo>& fifo) {
    const std::vector<unsigned char> lut = fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::eLutChannel0);
    if (lut.size() != static_cast<std::size_t>(kc8BitInputLutProp::kLutSize)) return false;
    bool identity = true;
    for (std::size_t i = 0; i < lut.size(); ++i) identity = (static_cast<std::size_t>(lut[i]) == i) && identity;
    return identity;
}
}  // namespace

void kfColorBalance(kcPtrHandle<kcAcqFifo> fifo, const kcColorBalanceParams& params, kcColorBalanceResult& result,
                    kcDiagObject* diag, unsigned long flags) {
    kcColorBalanceTool tool;
    kcAcquireInfo acqInfo;
    bool timedOut = false;

    // From here on every way out puts the FIFO back as found.
    kcFifoPropertiesSaver saver(fifo);

    fifo->triggerEnable(false);
    fifo->triggerModel(kfManualTrigger());
    fifo->triggerEnable(true);
    if (params.usePositive8BitLut()) fifo->properties().inputLutProp().inputLut(kc8BitInputLutProp::positive8BitLut);

    // The search starts from the bottom of the exposure range, whatever the
    // FIFO is set to now.
    const kcColorCameraSettings initialSettings(params.exposureRange().start(), kStartSettingsContrast,
                                                kStartSettingsBrightness);

    // Only a timeout ends the search with a result worth reporting; any
    // other error leaves the call with the result untouched.
    try {
        kcColorCameraSettings settings = tool.init(params, initialSettings);
        kcPtrHandle<kcAcqImage> image;
        bool failed = false;
        while (!tool.done()) {
            kfThrowExceptionOnFailure(ksys_attention_check());
            image = kfAcquireWithSettings(fifo, settings, acqInfo, failed);
            // The tool is not told of a failed acquisition.
            if (failed) break;
            settings = tool.nextSettingsFromImages(image, diag, flags);
        }
        image = kcPtrHandle<kcAcqImage>();
    } catch (kcTimeout::Expired&) {
        timedOut = true;
    }

    // Filled in a copy and handed over at once, so that a failing LUT read
    // cannot leave the caller's result half written.
    kcColorBalanceResult filled;
    const kcColorCameraSettings found = tool.result();
    filled.exposure(found.exposure());
    filled.contrast(found.contrast());
    filled.brightness(found.brightness());
    filled.positive8BitLut(hasIdentityLut(fifo));
    filled.acqInfo(acqInfo);
    result = filled;

    if (timedOut) throw kcTimeout::Expired();

    if ((flags & kRecordResultImages) != 0 && diag != nullptr)
        kfRecordResultDiagnostics(fifo, result, acqInfo, *diag, flags);

    // On the normal path a restore that fails is reported to the caller.
    saver.restore();
}
