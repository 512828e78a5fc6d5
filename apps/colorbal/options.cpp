// apps/colorbal/options.cpp
#include "apps/colorbal/options.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
#include "apps/colorbal/number_format.h"
#include "apps/colorbal/output_files.h"
#include "clbl/defs.h"
#include "toolkit/sim/sim_scene.h"

namespace {

// Names accepted by --vary.
constexpr const char* kAxisExposure = "exposure";
constexpr const char* kAxisContrast = "contrast";
constexpr const char* kAxisBrightness = "brightness";
constexpr const char* kAxisNone = "none";
// Largest contrast or brightness step the parameters accept.
constexpr double kMaxPlaneStep = 0.5;

[[noreturn]] void refuse(const std::string& option, const std::string& text, const std::string& accepted) {
    throw kcUsageError(option + ": '" + text + "' is not accepted; expected " + accepted);
}

// A whole-string integer in [low, high]; nullopt when it is not one.
std::optional<long> parseLong(const std::string& text, long low, long high) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || value < low || value > high) return std::nullopt;
    return value;
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type begin = 0;
    while (true) {
        const std::string::size_type comma = text.find(',', begin);
        parts.push_back(text.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
        if (comma == std::string::npos) return parts;
        begin = comma + 1;
    }
}

void applyVary(kcColorBalanceParams& params, const std::string& text) {
    const std::string accepted = std::string("a comma-separated list of ") + kAxisExposure + ", " + kAxisContrast +
                                 ", " + kAxisBrightness + ", or '" + kAxisNone + "'";
    bool exposure = false, contrast = false, brightness = false;
    if (text != kAxisNone) {
        for (const std::string& axis : splitCommas(text)) {
            if (axis == kAxisExposure)
                exposure = true;
            else if (axis == kAxisContrast)
                contrast = true;
            else if (axis == kAxisBrightness)
                brightness = true;
            else
                refuse("--vary", text, accepted);
        }
    }
    params.isExposureEnabled(exposure);
    params.isContrastEnabled(contrast);
    params.isBrightnessEnabled(brightness);
}

// Runs a validating setter, turning its rejection into a usage error.
template <class Setter>
void setChecked(const std::string& option, const std::string& text, Setter setter) {
    try {
        setter();
    } catch (const kcColorBalanceDefs::BadParams& e) {
        throw kcUsageError(option + ": '" + text + "' is rejected by the parameters (" + e.what() + ")");
    }
}

// A whole-string number, infinities and NaN included; nullopt otherwise.
std::optional<double> parseNumber(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end) return std::nullopt;
    return value;
}

bool isStep(double v) { return std::isfinite(v) && v >= 0.0; }
bool isPlaneStep(double v) { return std::isfinite(v) && v >= 0.0 && v <= kMaxPlaneStep; }

// What one numeric parameter accepts; options and parameter files are
// checked against the same rules, with the same messages.
struct StepRule {
    const char* option;
    const char* field;
    const char* accepted;
    bool (*isAccepted)(double);
};
constexpr StepRule kExposureStepRule{"--exposure-step", "exposure step", "a finite number >= 0", isStep};
constexpr StepRule kContrastStepRule{"--contrast-step", "contrast step", "a number from 0 to 0.5", isPlaneStep};
constexpr StepRule kBrightnessStepRule{"--brightness-step", "brightness step", "a number from 0 to 0.5", isPlaneStep};
constexpr const char* kExposureRangeAccepted = "START,END with 0 < START <= END, e.g. 1e-6,0.3";

bool isExposureRange(double start, double end) {
    return std::isfinite(start) && std::isfinite(end) && start > 0.0 && start <= end;
}

double parseStep(const StepRule& rule, const std::string& text) {
    const std::optional<double> value = parseNumber(text);
    if (!value || !rule.isAccepted(*value)) refuse(rule.option, text, rule.accepted);
    return *value;
}

// A stored value under its option's rule; `source` names the file.
void checkStored(const StepRule& rule, const std::string& source, double value) {
    if (!rule.isAccepted(value))
        refuse(source + ": " + rule.field + " (" + rule.option + ")", kfDisplayNumber(value), rule.accepted);
}

// Two outputs at one path would overwrite each other.
void checkDistinctOutputs(const std::vector<std::pair<const char*, std::optional<std::string>>>& outputs) {
    namespace fs = std::filesystem;
    std::vector<std::pair<const char*, fs::path>> seen;
    for (const auto& [option, path] : outputs) {
        if (!path) continue;
        std::error_code ec;
        fs::path where = fs::weakly_canonical(*path, ec);
        if (ec) where = fs::path(*path).lexically_normal();
        for (const auto& [other, otherWhere] : seen)
            if (where == otherWhere)
                throw kcUsageError(std::string(option) + ": '" + *path + "' is also the " + other + " output");
        seen.emplace_back(option, where);
    }
}

}  // namespace

kcSceneSize kfParseSize(const std::string& option, const std::string& text) {
    const std::string accepted = "WIDTHxHEIGHT with width " + std::to_string(kcSimScene::kMinWidth) + ".." +
                                 std::to_string(kcSimScene::kMaxWidth) + " and height " +
                                 std::to_string(kcSimScene::kMinHeight) + ".." +
                                 std::to_string(kcSimScene::kMaxHeight) + ", e.g. 640x480";
    const std::string::size_type x = text.find_first_of("xX");
    if (x == std::string::npos) refuse(option, text, accepted);
    const std::optional<long> width = parseLong(text.substr(0, x), kcSimScene::kMinWidth, kcSimScene::kMaxWidth);
    const std::optional<long> height = parseLong(text.substr(x + 1), kcSimScene::kMinHeight, kcSimScene::kMaxHeight);
    if (!width || !height) refuse(option, text, accepted);
    return {*width, *height};
}

std::uint64_t kfParseSeed(const std::string& option, const std::string& text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || ptr != end)
        refuse(option, text, "a whole number from 0 to 18446744073709551615");
    return value;
}

double kfParseNonNegative(const std::string& option, const std::string& text) {
    const std::optional<double> value = parseNumber(text);
    if (!value || !isStep(*value)) refuse(option, text, kExposureStepRule.accepted);
    return *value;
}

kcRange kfParseExposureRange(const std::string& option, const std::string& text) {
    const std::vector<std::string> parts = splitCommas(text);
    if (parts.size() != 2) refuse(option, text, kExposureRangeAccepted);
    const std::optional<double> start = parseNumber(parts[0]);
    const std::optional<double> end = parseNumber(parts[1]);
    if (!start || !end || !isExposureRange(*start, *end)) refuse(option, text, kExposureRangeAccepted);
    return kcRange(*start, *end);
}

bool kfParseOnOff(const std::string& option, const std::string& text) {
    std::string word = text;
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (word == "on" || word == "yes" || word == "true" || word == "1") return true;
    if (word == "off" || word == "no" || word == "false" || word == "0") return false;
    refuse(option, text, "on or off (also yes/no, true/false, 1/0; any case)");
}

void kfCheckRunnableParams(const kcColorBalanceParams& params, const std::string& source) {
    const kcRange range = params.exposureRange();
    if (range.isEmpty() || !isExposureRange(range.start(), range.end()))
        refuse(source + ": exposure range (--exposure-range)",
               range.isEmpty() ? std::string("empty")
                               : kfDisplayNumber(range.start()) + "," + kfDisplayNumber(range.end()),
               kExposureRangeAccepted);
    checkStored(kExposureStepRule, source, params.minExposureStepSize());
    checkStored(kContrastStepRule, source, params.minContrastStepSize());
    checkStored(kBrightnessStepRule, source, params.minBrightnessStepSize());
    // Also through the library's own setters, in case they refuse more.
    kcColorBalanceParams checked;
    try {
        checked.minExposureStepSize(params.minExposureStepSize());
        checked.minContrastStepSize(params.minContrastStepSize());
        checked.minBrightnessStepSize(params.minBrightnessStepSize());
        checked.exposureRange(range);
    } catch (const kcColorBalanceDefs::BadParams& e) {
        throw kcUsageError(source + ": the parameters are refused (" + e.what() + ")");
    }
}

kcBalanceOptions kfBalanceOptions(const kcBalanceOptionText& text) {
    kcBalanceOptions options;
    if (text.scene) {
        if (text.scene->empty()) refuse("--scene", *text.scene, "a built-in scene name or a PPM or PNG file");
        options.scene = *text.scene;
    }
    if (text.size) options.size = kfParseSize("--size", *text.size);
    if (text.seed) options.seed = kfParseSeed("--seed", *text.seed);

    if (text.paramsFile) {
        options.params = kfReadParamsFile(*text.paramsFile);
        kfCheckRunnableParams(options.params, "--params '" + *text.paramsFile + "'");
    }
    kcColorBalanceParams& params = options.params;
    if (text.exposureRange) {
        const kcRange range = kfParseExposureRange("--exposure-range", *text.exposureRange);
        setChecked("--exposure-range", *text.exposureRange, [&] { params.exposureRange(range); });
    }
    if (text.vary) applyVary(params, *text.vary);
    if (text.exposureStep) {
        const double v = parseStep(kExposureStepRule, *text.exposureStep);
        setChecked("--exposure-step", *text.exposureStep, [&] { params.minExposureStepSize(v); });
    }
    if (text.contrastStep) {
        const double v = parseStep(kContrastStepRule, *text.contrastStep);
        setChecked("--contrast-step", *text.contrastStep, [&] { params.minContrastStepSize(v); });
    }
    if (text.brightnessStep) {
        const double v = parseStep(kBrightnessStepRule, *text.brightnessStep);
        setChecked("--brightness-step", *text.brightnessStep, [&] { params.minBrightnessStepSize(v); });
    }
    if (text.positiveLut) params.usePositive8BitLut(kfParseOnOff("--positive-lut", *text.positiveLut));

    if (text.saveResult) {
        kfCheckOutputFile("--save-result", *text.saveResult);
        options.saveResult = text.saveResult;
    }
    if (text.saveParams) {
        kfCheckOutputFile("--save-params", *text.saveParams);
        options.saveParams = text.saveParams;
    }
    if (text.output) {
        kfCheckOutputFile("--output", *text.output);
        options.outputFile = text.output;
    }
    if (text.diagnostics) {
        kfCheckOutputDirectory("--diagnostics", *text.diagnostics);
        options.diagnosticsDir = text.diagnostics;
    }
    checkDistinctOutputs({{"--save-result", options.saveResult},
                          {"--save-params", options.saveParams},
                          {"--output", options.outputFile},
                          {"--diagnostics", options.diagnosticsDir}});
    options.json = text.json;
    return options;
}
