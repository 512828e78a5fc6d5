// apps/colorbal/genicam_commands.cpp
#include "apps/colorbal/genicam_commands.h"

#include <string>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/balance_command.h"
#include "toolkit/acq/genicam/genicam_cameras.h"

namespace {

constexpr const char* kProgramName = "colorbal";

int listCameras(std::ostream& out, std::ostream& err) {
    const std::vector<kcGenICamCameraInfo> cameras = kfGenICamCameras();
    if (cameras.empty()) err << kProgramName << ": no GenICam camera was found\n";
    for (const kcGenICamCameraInfo& c : cameras)
        out << c.id << "  " << c.vendor << " " << c.model << ", serial " << c.serial << ", " << c.protocol << " at "
            << c.address << "\n";
    return kExitSuccess;
}

int balanceCamera(const std::string& name, const kcBalanceOptions& options, std::ostream& out, std::ostream& err,
                  bool showProgress) {
    kcGenICamFifoOptions fifoOptions;
    if (options.size) {
        fifoOptions.width = options.size->first;
        fifoOptions.height = options.size->second;
    }
    kcPtrHandle<kcGenICamFifo> camera;
    try {
        camera = kcPtrHandle<kcGenICamFifo>(new kcGenICamFifo(name, fifoOptions));
    } catch (const kcException& e) {
        throw kcRunError(e.what());
    }
    const kcColorBalanceParams params = kfParamsForCamera(options.params, *camera, err);

    kcBalanceSource source;
    source.fifo = camera;
    const kcGenICamCameraInfo& info = camera->camera();
    source.description.isCamera = true;
    source.description.name = info.id;
    source.description.model = info.vendor + " " + info.model;
    source.description.pixelFormat = camera->pixelFormat();
    source.description.width = camera->width();
    source.description.height = camera->height();
    return kfBalanceAndReport(source, params, options, out, err, showProgress);
}

}  // namespace

kcColorBalanceParams kfParamsForCamera(const kcColorBalanceParams& params, const kcGenICamFifo& camera,
                                       std::ostream& err) {
    kcColorBalanceParams adapted = params;
    const std::string& id = camera.camera().id;
    if (params.isExposureEnabled() && !camera.supportsExposure()) {
        adapted.isExposureEnabled(false);
        err << kProgramName << ": camera " << id << " has no exposure control; exposure is not varied\n";
    }
    if (!camera.supportsExposure()) adapted.exposureRange(kcRange(0.0, 0.0));
    if (params.isContrastEnabled() && !camera.supportsContrast()) {
        adapted.isContrastEnabled(false);
        err << kProgramName << ": camera " << id << " has no gain control; contrast is not varied\n";
    }
    if (params.isBrightnessEnabled() && !camera.supportsBrightness()) {
        adapted.isBrightnessEnabled(false);
        err << kProgramName << ": camera " << id << " has no black level control; brightness is not varied\n";
    }
    return adapted;
}

kcCameraCommands kfGenICamCommands() { return kcCameraCommands{listCameras, balanceCamera}; }
