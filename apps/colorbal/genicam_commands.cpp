// apps/colorbal/genicam_commands.cpp
#include "apps/colorbal/genicam_commands.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/balance_command.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/diagnostics_export.h"
#include "apps/colorbal/progress_fifo.h"
#include "apps/colorbal/text_utf8.h"
#include "clbl/driver.h"
#include "toolkit/acq/genicam/genicam_cameras.h"
#include "toolkit/diag/diag_object.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kProgramName = "colorbal";
// The progress line is redrawn at most this often.
constexpr auto kProgressInterval = std::chrono::milliseconds(100);

std::string secondsText(double seconds) {
    std::array<char, 32> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.2f s", seconds);
    return buffer.data();
}

int listCameras(std::ostream& out, std::ostream& err) {
    const std::vector<kcGenICamCameraInfo> cameras = kfGenICamCameras();
    if (cameras.empty()) err << kProgramName << ": no GenICam camera was found\n";
    for (const kcGenICamCameraInfo& c : cameras)
        out << c.id << "  " << c.vendor << " " << c.model << ", serial " << c.serial << ", " << c.protocol << " at "
            << c.address << "\n";
    return kExitSuccess;
}

void printReport(std::ostream& out, const kcGenICamFifo& camera, const kcColorBalanceResult& result,
                 const kcColorBalanceParams& params, double seconds, const kcDiagExport* diagnostics,
                 const std::string& diagnosticsDir, bool json) {
    const kcAcquireInfo info = result.acqInfo();
    const kcGenICamCameraInfo& c = camera.camera();
    if (json) {
        out << "{\n"
            << "  \"camera\": \"" << kfEscapeJson(c.id) << "\",\n"
            << "  \"pixelFormat\": \"" << kfEscapeJson(camera.pixelFormat()) << "\",\n"
            << "  \"exposure\": " << kfExactNumber(result.exposure()) << ",\n"
            << "  \"contrast\": " << kfExactNumber(result.contrast()) << ",\n"
            << "  \"brightness\": " << kfExactNumber(result.brightness()) << ",\n"
            << "  \"positive8BitLut\": " << (result.positive8BitLut() ? "true" : "false") << ",\n"
            << "  \"images\": " << info.acquisitionNumber() << ",\n"
            << "  \"failureCode\": " << info.failure().code() << ",\n"
            << "  \"seconds\": " << kfExactNumber(seconds) << ",\n"
            << "  \"vary\": {\"exposure\": " << (params.isExposureEnabled() ? "true" : "false")
            << ", \"contrast\": " << (params.isContrastEnabled() ? "true" : "false")
            << ", \"brightness\": " << (params.isBrightnessEnabled() ? "true" : "false") << "}";
        if (diagnostics != nullptr)
            out << ",\n  \"diagnostics\": {\"directory\": \"" << kfEscapeJson(diagnosticsDir)
                << "\", \"records\": " << diagnostics->records << "}";
        out << "\n}\n";
        return;
    }
    out << "camera:            " << c.id << " (" << c.vendor << " " << c.model << ", " << camera.pixelFormat() << ")\n"
        << "exposure:          " << kfExactNumber(result.exposure()) << "\n"
        << "contrast:          " << kfExactNumber(result.contrast()) << "\n"
        << "brightness:        " << kfExactNumber(result.brightness()) << "\n"
        << "LUT is identity:   " << (result.positive8BitLut() ? "yes" : "no") << "\n"
        << "images taken:      " << info.acquisitionNumber() << "\n"
        << "time:              " << secondsText(seconds) << "\n";
    if (info.failure().isFailure())
        out << "last acquisition:  number " << info.acquisitionNumber() << ", FAILED with code "
            << info.failure().code() << "\n";
    if (diagnostics != nullptr)
        out << "diagnostics:       " << diagnostics->records << " records in " << diagnosticsDir << " (index.html)\n";
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

    // A line on the terminal with the count of images so far.
    Clock::time_point lastDrawn{};
    bool drawn = false;
    kcProgressFifo::Callback callback;
    if (showProgress)
        callback = [&](const kcAcqProgress& p) {
            const Clock::time_point now = Clock::now();
            if (drawn && now - lastDrawn < kProgressInterval) return;
            lastDrawn = now;
            drawn = true;
            err << "\rbalancing " << camera->camera().id << ": " << p.acquisitions << " images" << std::flush;
        };
    kcPtrHandle<kcAcqFifo> fifo(new kcProgressFifo(camera, callback));

    std::unique_ptr<kcDiagObject> diag;
    if (options.diagnosticsDir) diag = std::make_unique<kcDiagObject>();

    kcColorBalanceResult result;
    const double seconds = kfBalanceTimed(fifo, params, result, diag.get(), [&drawn, &err] {
        if (drawn) err << "\n";
    });

    if (options.saveResult) kfWriteResultFile(*options.saveResult, result);
    if (options.saveParams) kfWriteParamsFile(*options.saveParams, params);
    std::unique_ptr<kcDiagExport> exported;
    if (diag) {
        try {
            exported = std::make_unique<kcDiagExport>(kfExportDiagnostics(*diag, *options.diagnosticsDir));
        } catch (const kcException& e) {
            throw kcRunError(std::string("cannot export the diagnostics: ") + e.what());
        }
    }
    printReport(out, *camera, result, params, seconds, exported.get(), options.diagnosticsDir.value_or(""),
                options.json);

    const kcAcqFailure failure = result.acqInfo().failure();
    if (failure.isFailure()) {
        err << kProgramName << ": acquisition " << result.acqInfo().acquisitionNumber() << " failed with code "
            << failure.code() << "; the search ended early\n";
        return kExitRunFailed;
    }
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

kcCameraCommands kfGenICamCommands() { return kcCameraCommands{listCameras, balanceCamera}; }
