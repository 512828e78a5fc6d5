// clbl/internal/color_measurement.h
// Measuring images for the search: good pels, plane spread, noise and hue
// shift; comparing measurements; the robust maximum of a plane.
#pragma once

#include <cstdint>

#include "clbl/measurement.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Measures the window of `image`. `repeatImage` is a second image at the
// same settings (or `image` itself); `saturationReference` (may be unbound)
// gives the saturation levels, 239 for every plane without it;
// `hueReference` (may be unbound) gives the hue shift, which falls back to
// the saturation reference when there is no hue reference. The repeat image
// and the image the hue shift is taken from are walked alongside `image` and
// must have its window size (kcBadArgument otherwise); a saturation
// reference that only gives levels may have any size;
// kcUnboundBuffer for an unbound `image` or `repeatImage`.
kcColorBalanceMeasurement measureColorImage(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& repeatImage,
                                            const kc3PlanePelBuffer& saturationReference,
                                            const kc3PlanePelBuffer& hueReference, std::int32_t darkLevel);

// The number of good pels of the window of `image` alone.
std::int32_t countGoodPels(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& saturationReference,
                           std::int32_t darkLevel);

// True when `candidate` beats `best`: more good pels by a margin of 2.5 %,
// or, within that margin, a score above 1.05 times the best's.
bool isBetterMeasurement(const kcColorBalanceMeasurement& best, const kcColorBalanceMeasurement& candidate);

// The saturation level that one plane of a saturation reference gives:
// erodedPlaneMax x 0.98, truncated.
std::int32_t planeSaturationLevel(const kcPelBuffer_const<unsigned char>& plane);

// The highest grey level left after a 3 x 3 grey erosion of the window.
long erodedPlaneMax(const kcPelBuffer_const<unsigned char>& image);
