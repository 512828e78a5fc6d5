// apps/colorbal/number_format.cpp
#include "apps/colorbal/number_format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "apps/colorbal/text_utf8.h"

namespace {

constexpr double kMillisecondsPerSecond = 1000.0;
// Values shown in plain decimals; smaller and larger ones in scientific
// notation, where plain decimals would be a long row of zeros.
constexpr double kSmallestPlain = 1e-6;
constexpr double kLargestPlain = 1e9;

// A finite value through a printf format; the display form otherwise.
std::string formatted(const char* format, double value, const char* unit) {
    if (!std::isfinite(value)) return kfDisplayNumber(value) + unit;
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), format, value);
    return buffer.data() + std::string(unit);
}

}  // namespace

std::string kfDisplayNumber(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    const double magnitude = std::fabs(value);
    const bool plain = magnitude == 0.0 || (magnitude >= kSmallestPlain && magnitude < kLargestPlain);
    std::array<char, 400> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                            plain ? std::chars_format::fixed : std::chars_format::scientific);
    return error == std::errc() ? std::string(buffer.data(), end) : kfExactNumber(value);
}

std::string kfExposureText(double seconds) {
    const double ms = seconds * kMillisecondsPerSecond;
    if (ms == 0.0) return "0 ms";
    return formatted(std::fabs(ms) >= 1.0 ? "%.2f" : "%.3g", ms, " ms");
}

std::string kfPlaneSettingText(double value) { return formatted("%.4f", value, ""); }

std::string kfPercentText(double fraction) { return formatted("%.1f", fraction * 100.0, " %"); }

std::string kfSecondsText(double seconds) { return formatted("%.2f", seconds, " s"); }
