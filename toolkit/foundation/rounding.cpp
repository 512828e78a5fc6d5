// toolkit/foundation/rounding.cpp
#include "toolkit/foundation/rounding.h"

#include <cmath>
#include <limits>

namespace {
// 2^63 is exactly representable in float and double; every value below it
// (and at or above -2^63) converts to long without overflow.
constexpr double kLongLimit = 9223372036854775808.0;

template <class Real>
long roundSaturating(Real value) {
    if (std::isnan(value)) return 0;
    const Real rounded = std::round(value);  // halves away from zero
    if (rounded >= static_cast<Real>(kLongLimit)) return std::numeric_limits<long>::max();
    if (rounded <= static_cast<Real>(-kLongLimit)) return std::numeric_limits<long>::min();
    return static_cast<long>(rounded);
}
}  // namespace

long iRound(float value) { return roundSaturating(value); }
long iRound(double value) { return roundSaturating(value); }

bool kfRealEq(double a, double b, double tolerance) { return std::fabs(a - b) <= tolerance; }
