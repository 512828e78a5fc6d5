// apps/colorbal/genicam_commands.cpp
#include "apps/colorbal/genicam_commands.h"

#include <algorithm>
#include <string>
#include <vector>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/interrupt.h"
#include "apps/colorbal/result_image.h"
#include "apps/colorbal/text_utf8.h"
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

kcPtrHandle<kcGenICamFifo> openCamera(const std::string& name, const kcGenICamFifoOptions& options) {
    try {
        return kcPtrHandle<kcGenICamFifo>(new kcGenICamFifo(name, options));
    } catch (const kcException& e) {
        throw kcRunError(e.what());
    }
}

kcReportSource describe(const kcGenICamFifo& camera) {
    kcReportSource source;
    const kcGenICamCameraInfo& info = camera.camera();
    source.isCamera = true;
    source.name = info.id;
    source.model = info.vendor + " " + info.model;
    source.pixelFormat = camera.pixelFormat();
    source.width = camera.width();
    source.height = camera.height();
    return source;
}

bool hasIdentityLut(kcGenICamFifo& camera) {
    const std::vector<unsigned char> lut = camera.inputLut(kc8BitInputLutProp::eLutChannel0);
    return std::equal(lut.begin(), lut.end(), kc8BitInputLutProp::positive8BitLut);
}

// Puts `result` on the camera and reads back what it holds. A setting the
// camera has no control for is left out with a note when it is not 0 (a
// camera without it works as at 0). When a write fails, the settings
// written so far are put back, and kcRunError says whether that worked.
// The camera keeps its automatic controls off, or they would undo the
// result at once.
kcAppliedSettings applyResult(const kcPtrHandle<kcGenICamFifo>& camera, const kcColorBalanceResult& result,
                              std::ostream& err) {
    const std::string& id = camera->camera().id;
    kcColorBalanceResult applied = result;
    const auto leaveOut = [&](bool supported, double value, const char* control, const char* setting) {
        if (supported || value == 0.0) return false;
        err << kProgramName << ": camera " << id << " has no " << control << " control; " << setting << " "
            << kfExactNumber(value) << " is not applied\n";
        return true;
    };
    if (leaveOut(camera->supportsExposure(), result.exposure(), "exposure", "exposure")) applied.exposure(0.0);
    if (leaveOut(camera->supportsContrast(), result.contrast(), "gain", "contrast")) applied.contrast(0.0);
    if (leaveOut(camera->supportsBrightness(), result.brightness(), "black level", "brightness"))
        applied.brightness(0.0);

    kcFifoHandBack before(camera);
    try {
        applied.setFifoProperties(camera);
    } catch (const kcException& e) {
        std::string putBack = "its settings were put back";
        try {
            before.restore();
        } catch (const kcException& again) {
            putBack = std::string("putting its settings back failed too: ") + again.what();
        }
        throw kcRunError("cannot apply the result to camera " + id + ": " + e.what() + "; " + putBack);
    }
    before.keep();
    camera->keepAutomaticControlsOff();
    try {
        return kcAppliedSettings{
            kcColorCameraSettings(camera->exposure(), camera->contrast(kcContrastBrightnessProp::eChannel0),
                                  camera->brightness(kcContrastBrightnessProp::eChannel0)),
            hasIdentityLut(*camera)};
    } catch (const kcException& e) {
        throw kcRunError("the result was applied to camera " + id + " but cannot be read back: " + e.what());
    }
}

kcGenICamFifoOptions fifoOptionsFor(const kcBalanceOptions& options) {
    kcGenICamFifoOptions fifoOptions;
    if (options.size) {
        fifoOptions.width = options.size->first;
        fifoOptions.height = options.size->second;
    }
    return fifoOptions;
}

int balanceCamera(const std::string& name, const kcBalanceOptions& options, std::ostream& out, std::ostream& err,
                  bool showProgress) {
    const kcPtrHandle<kcGenICamFifo> camera = openCamera(name, fifoOptionsFor(options));
    const kcColorBalanceParams params = kfParamsForCamera(options.params, *camera, err);

    kcBalanceSource source;
    source.fifo = camera;
    source.description = describe(*camera);
    source.failureText = kfGenICamFailureText;
    if (options.apply)
        source.apply = [&camera, &err](const kcColorBalanceResult& result) { return applyResult(camera, result, err); };
    return kfBalanceAndReport(source, params, options, out, err, showProgress);
}

int applyFile(const std::string& file, const std::string& name, bool json, std::ostream& out, std::ostream& err) {
    const kcArchiveFileContents contents = kfReadArchiveFile(file);
    if (contents.kind != kcArchiveFileContents::eResult)
        throw kcUsageError(file + " holds parameters (tag \"" + kParamsFileTag + "\"), not a result (tag \"" +
                           kResultFileTag + "\"); apply takes a file written by --save-result");
    const kcPtrHandle<kcGenICamFifo> camera = openCamera(name, kcGenICamFifoOptions());
    kfThrowIfInterrupted("nothing was applied");
    const kcAppliedSettings applied = applyResult(camera, contents.result, err);
    kfPrintApplied(out, describe(*camera), file, applied, json);
    return kExitSuccess;
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

kcCameraCommands kfGenICamCommands() { return kcCameraCommands{listCameras, balanceCamera, applyFile}; }
