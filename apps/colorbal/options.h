// apps/colorbal/options.h
// The options of `colorbal balance`: as typed, and checked into what a run
// needs. Every check throws kcUsageError naming the option, the value and
// what is accepted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "apps/colorbal/scene_loading.h"
#include "clbl/params.h"

// The option values as typed; an absent value was not given.
struct kcBalanceOptionText {
    std::optional<std::string> scene;
    std::optional<std::string> size;
    std::optional<std::string> seed;
    std::optional<std::string> exposureRange;
    std::optional<std::string> vary;
    std::optional<std::string> exposureStep;
    std::optional<std::string> contrastStep;
    std::optional<std::string> brightnessStep;
    std::optional<std::string> positiveLut;
    std::optional<std::string> paramsFile;
    std::optional<std::string> saveResult;
    std::optional<std::string> saveParams;
    std::optional<std::string> diagnostics;
    std::optional<std::string> output;
    bool json = false;
};

// What a balancing run is told.
struct kcBalanceOptions {
    std::string scene = "chart";
    std::optional<kcSceneSize> size;  // absent: the scene's default size
    std::uint64_t seed = 1;
    kcColorBalanceParams params;
    std::optional<std::string> saveResult;
    std::optional<std::string> saveParams;
    std::optional<std::string> diagnosticsDir;
    // The report goes to this file instead of standard output.
    std::optional<std::string> outputFile;
    bool json = false;
    // Leave the result on the camera after a successful search.
    bool apply = false;
};

// Checks the typed options. The parameters start as the defaults or as
// the --params file holds them; the other parameter options then override
// single fields. The scene itself is loaded later (kfLoadScene).
kcBalanceOptions kfBalanceOptions(const kcBalanceOptionText& text);

// Single-value parsers, each naming `option` in its error.
// "WIDTHxHEIGHT" within the simulator's sizes.
kcSceneSize kfParseSize(const std::string& option, const std::string& text);
// A decimal number in 0 .. 2^64-1.
std::uint64_t kfParseSeed(const std::string& option, const std::string& text);
// A finite number >= 0 (NaN, infinities and negatives refused).
double kfParseNonNegative(const std::string& option, const std::string& text);
// "START,END" with 0 < START <= END, both finite.
kcRange kfParseExposureRange(const std::string& option, const std::string& text);
// "on" or "off" (also yes/no, true/false, 1/0), in any case.
bool kfParseOnOff(const std::string& option, const std::string& text);

// Checks parameters from a file for a run by the rules of the options that
// set them (the same messages, naming the field and the option), and by the
// library's setters. kcUsageError starting with `source`.
void kfCheckRunnableParams(const kcColorBalanceParams& params, const std::string& source);
