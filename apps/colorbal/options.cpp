// apps/colorbal/options.cpp
#include "apps/colorbal/options.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

#include "apps/colorbal/app_errors.h"
#include "apps/colorbal/archive_files.h"
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

// A whole-string finite number; nullopt otherwise.
std::optional<double> parseFinite(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
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

// Contrast and brightness steps: the parameters accept 0 to 0.5.
double parsePlaneStep(const std::string& option, const std::string& text) {
    const std::optional<double> value = parseFinite(text);
    if (!value || *value < 0.0 || *value > kMaxPlaneStep) refuse(option, text, "a number from 0 to 0.5");
    return *value;
}

// An output file must go into an existing directory and must not name one.
void checkOutputFile(const std::string& option, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty()) throw kcUsageError(option + ": the file name is empty");
    if (fs::is_directory(path, ec)) throw kcUsageError(option + ": '" + path + "' is a directory");
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec))
        throw kcUsageError(option + ": the directory '" + parent.string() + "' of '" + path + "' does not exist");
}

void checkOutputDirectory(const std::string& option, const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (path.empty()) throw kcUsageError(option + ": the directory name is empty");
    if (fs::exists(path, ec) && !fs::is_directory(path, ec))
        throw kcUsageError(option + ": '" + path + "' exists and is not a directory");
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
    const std::optional<double> value = parseFinite(text);
    if (!value || *value < 0.0) refuse(option, text, "a finite number >= 0");
    return *value;
}

kcRange kfParseExposureRange(const std::string& option, const std::string& text) {
    const std::string accepted = "START,END with 0 < START <= END, e.g. 1e-6,0.3";
    const std::vector<std::string> parts = splitCommas(text);
    if (parts.size() != 2) refuse(option, text, accepted);
    const std::optional<double> start = parseFinite(parts[0]);
    const std::optional<double> end = parseFinite(parts[1]);
    if (!start || !end || !(*start > 0.0) || !(*start <= *end)) refuse(option, text, accepted);
    return kcRange(*start, *end);
}

bool kfParseOnOff(const std::string& option, const std::string& text) {
    if (text == "on" || text == "yes" || text == "true") return true;
    if (text == "off" || text == "no" || text == "false") return false;
    refuse(option, text, "on or off");
}

void kfCheckRunnableParams(const kcColorBalanceParams& params, const std::string& source) {
    const kcRange range = params.exposureRange();
    if (range.isEmpty() || !std::isfinite(range.start()) || !std::isfinite(range.end()) || !(range.start() > 0.0) ||
        !(range.start() <= range.end()))
        throw kcUsageError(source + ": the exposure range [" + std::to_string(range.start()) + ", " +
                           std::to_string(range.end()) + "] is not usable; it needs 0 < start <= end");
    // A loaded record bypassed the setters: run its values through them.
    kcColorBalanceParams checked;
    try {
        checked.minExposureStepSize(params.minExposureStepSize());
        checked.minContrastStepSize(params.minContrastStepSize());
        checked.minBrightnessStepSize(params.minBrightnessStepSize());
        checked.exposureRange(range);
    } catch (const kcColorBalanceDefs::BadParams& e) {
        throw kcUsageError(source + ": parameters rejected (" + e.what() + ")");
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
        kfCheckRunnableParams(options.params, "--params: '" + *text.paramsFile + "'");
    }
    kcColorBalanceParams& params = options.params;
    if (text.exposureRange) {
        const kcRange range = kfParseExposureRange("--exposure-range", *text.exposureRange);
        setChecked("--exposure-range", *text.exposureRange, [&] { params.exposureRange(range); });
    }
    if (text.vary) applyVary(params, *text.vary);
    if (text.exposureStep) {
        const double v = kfParseNonNegative("--exposure-step", *text.exposureStep);
        setChecked("--exposure-step", *text.exposureStep, [&] { params.minExposureStepSize(v); });
    }
    if (text.contrastStep) {
        const double v = parsePlaneStep("--contrast-step", *text.contrastStep);
        setChecked("--contrast-step", *text.contrastStep, [&] { params.minContrastStepSize(v); });
    }
    if (text.brightnessStep) {
        const double v = parsePlaneStep("--brightness-step", *text.brightnessStep);
        setChecked("--brightness-step", *text.brightnessStep, [&] { params.minBrightnessStepSize(v); });
    }
    if (text.positiveLut) params.usePositive8BitLut(kfParseOnOff("--positive-lut", *text.positiveLut));

    if (text.saveResult) {
        checkOutputFile("--save-result", *text.saveResult);
        options.saveResult = text.saveResult;
    }
    if (text.saveParams) {
        checkOutputFile("--save-params", *text.saveParams);
        options.saveParams = text.saveParams;
    }
    if (text.diagnostics) {
        checkOutputDirectory("--diagnostics", *text.diagnostics);
        options.diagnosticsDir = text.diagnostics;
    }
    options.json = text.json;
    return options;
}
