// apps/colorbal/report_output.h
// What the program prints: the report of a balancing run, and stored
// parameters and results, as text or as JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/camera/color_camera_settings.h"

// Where the images came from: the simulated camera (scene, size, seed) or
// a camera (camera, pixelFormat, size). These are the only keys of the
// report that differ between the two.
struct kcReportSource {
    bool isCamera = false;
    // The scene's name or file, or the camera's id.
    std::string name;
    // A camera's vendor and model (empty for the simulator).
    std::string model;
    std::string pixelFormat;
    long width = 0;
    long height = 0;
    std::uint64_t seed = 0;
};

// What a camera holds after a result was put on it, read back from it.
struct kcAppliedSettings {
    kcColorCameraSettings settings;
    bool identityLut = true;
};

// Everything a balancing run reports.
struct kcBalanceReport {
    kcReportSource source;
    kcColorBalanceParams params;
    kcColorBalanceResult result;
    // Images the search acquired (those taken after it not included).
    unsigned long images = 0;
    // The number of the acquisition taken at the result settings after the
    // search (0: none was taken, or it failed).
    unsigned long resultImage = 0;
    // The settings the search started at.
    kcColorCameraSettings start;
    // Good pels / all pels at the start settings and at the result: of
    // noise-free renderings for the simulator; at the result, of the image
    // taken at the result settings for a camera; absent where the source
    // cannot tell.
    std::optional<double> goodFractionStart;
    std::optional<double> goodFractionResult;
    // Wall-clock seconds of the balancing call, and of the diagnostics
    // export after it (0 when none was asked for).
    double seconds = 0.0;
    double exportSeconds = 0.0;
    // Diagnostics records exported, and where (empty: none asked for).
    long diagnosticsRecords = 0;
    std::string diagnosticsDir;
    // The last acquisition's failure in words, with its code (see
    // kfFailureCodeText).
    std::string failureText;
    // What the camera holds after the result was applied (absent: not
    // applied).
    std::optional<kcAppliedSettings> applied;
    // Why the result is not usable; empty when it is.
    std::vector<std::string> warnings;
};

// A failure code in words where the source is not known: "no failure" for
// 0, else "failure code N".
std::string kfFailureCodeText(long code);

// Both forms carry the same lines (keys) for every source but the source's
// own ones.
void kfPrintBalanceText(std::ostream& out, const kcBalanceReport& report);
// One JSON object; its keys "exposure", "contrast", "brightness" and
// "positive8BitLut" hold the result's four fields; a fraction that is not
// known is null.
void kfPrintBalanceJson(std::ostream& out, const kcBalanceReport& report);

// The report of `colorbal apply`: the camera, the file and what the
// camera holds now.
void kfPrintApplied(std::ostream& out, const kcReportSource& camera, const std::string& file,
                    const kcAppliedSettings& applied, bool json);

void kfPrintParams(std::ostream& out, const kcColorBalanceParams& params, bool json);
void kfPrintResult(std::ostream& out, const kcColorBalanceResult& result, bool json);
