// clbl/internal/snap_to_step.cpp
#include "clbl/internal/snap_to_step.h"

#include <cmath>

#include "toolkit/foundation/rounding.h"

namespace {
constexpr double kLongLimit = 9223372036854775808.0;  // 2^63
}

double snapToStep(double value, double step) {
    if (step == 0.0) return value;
    const double quotient = value / step;
    if (!std::isfinite(quotient) || std::fabs(quotient) >= kLongLimit) return value;
    const float single = static_cast<float>(quotient);
    // Rounding to single precision can carry the quotient up to 2^63.
    if (std::fabs(single) >= static_cast<float>(kLongLimit)) return value;
    // Zero is a multiple of every step; written as such, because 0 x an
    // infinite step would not be a number.
    const long multiple = iRound(single);
    return multiple == 0 ? 0.0 : static_cast<double>(multiple) * step;
}
