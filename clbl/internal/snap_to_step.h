// clbl/internal/snap_to_step.h
// Rounding of a computed setting to the minimum step of its axis.
#pragma once

// value unchanged when step is 0.0; otherwise the quotient value / step,
// taken to single precision and rounded to the nearest integer (halves away
// from zero), times step. The value is also left unchanged when the
// quotient is not finite or lies beyond the range of long, where no whole
// multiple can be formed. A quotient that rounds to 0 gives 0.0, also for an
// infinite step.
double snapToStep(double value, double step);
