// toolkit/foundation/rounding.h
// Rounding and tolerant comparison of reals.
#pragma once

#include "toolkit/foundation/export.h"

// Nearest integer, halves away from zero. Defined for every input:
// NaN gives 0, values beyond the range of long saturate at its limits.
KC_EXPORT long iRound(float value);
KC_EXPORT long iRound(double value);

// True when a and b differ by no more than tolerance (a difference equal to
// the tolerance counts as equal); false when either is NaN.
KC_EXPORT bool kfRealEq(double a, double b, double tolerance);
