// apps/colorbal/report_output.h
// What the program prints: the report of a balancing run, and stored
// parameters and results, as text or as JSON.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "clbl/params.h"
#include "clbl/result.h"
#include "toolkit/camera/color_camera_settings.h"

// Everything a balancing run reports.
struct kcBalanceReport {
    std::string scene;
    long width = 0;
    long height = 0;
    std::uint64_t seed = 0;
    kcColorBalanceParams params;
    kcColorBalanceResult result;
    // Images the search acquired (the extra diagnostics image not included).
    unsigned long images = 0;
    // The settings the search started at.
    kcColorCameraSettings start;
    // Good pels / all pels of noise-free renderings at the start settings
    // and at the result.
    double goodFractionStart = 0.0;
    double goodFractionResult = 0.0;
    // Wall-clock seconds of the balancing call.
    double seconds = 0.0;
    // Diagnostics records exported, and where (empty: none asked for).
    long diagnosticsRecords = 0;
    std::string diagnosticsDir;
};

void kfPrintBalanceText(std::ostream& out, const kcBalanceReport& report);
// One JSON object; its keys "exposure", "contrast", "brightness" and
// "positive8BitLut" hold the result's four fields.
void kfPrintBalanceJson(std::ostream& out, const kcBalanceReport& report);

void kfPrintParams(std::ostream& out, const kcColorBalanceParams& params, bool json);
void kfPrintResult(std::ostream& out, const kcColorBalanceResult& result, bool json);
