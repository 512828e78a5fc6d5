// apps/colorbal/result_warnings.cpp
#include "apps/colorbal/result_warnings.h"

#include "apps/colorbal/number_format.h"

namespace {

// Contrast and brightness are fractions of the camera's full scale.
constexpr double kPlaneSettingLow = 0.0;
constexpr double kPlaneSettingHigh = 1.0;

void checkPlaneSetting(std::vector<std::string>& warnings, const char* name, double value) {
    if (!(value >= kPlaneSettingLow && value <= kPlaneSettingHigh))
        warnings.push_back(std::string("the ") + name + " " + kfDisplayNumber(value) + " lies outside 0..1");
}

}  // namespace

std::vector<std::string> kfResultWarnings(const kcColorBalanceParams& params, const kcColorBalanceResult& result,
                                          std::optional<double> goodFractionResult) {
    std::vector<std::string> warnings;
    if (goodFractionResult && !(*goodFractionResult >= kMinUsableGoodPelFraction))
        warnings.push_back("only " + kfPercentText(*goodFractionResult) +
                           " of the pels are good at the result (below " + kfPercentText(kMinUsableGoodPelFraction) +
                           ")");
    const kcRange range = params.exposureRange();
    const double exposure = result.exposure();
    if (!range.isEmpty() && !(exposure >= range.start() && exposure <= range.end()))
        warnings.push_back("the exposure " + kfDisplayNumber(exposure) + " s lies outside the requested range " +
                           kfDisplayNumber(range.start()) + " .. " + kfDisplayNumber(range.end()) + " s");
    checkPlaneSetting(warnings, "contrast", result.contrast());
    checkPlaneSetting(warnings, "brightness", result.brightness());
    return warnings;
}
