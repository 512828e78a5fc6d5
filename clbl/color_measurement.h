// clbl/color_measurement.h
// Measuring images for the search: good pels, plane spread, noise and hue
// shift; comparing measurements; the robust maximum of a plane.
#pragma once

#include <cstdint>

#include "clbl/export.h"
#include "clbl/measurement.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Measures the window of `image`. `repeatImage` is a second image at the
// same settings (or `image` itself); `saturationReference` (may be unbound)
// gives the saturation levels, 239 for every plane without it;
// `hueReference` (may be unbound) gives the hue shift, which falls back to
// the saturation reference when there is no hue reference. Companion images
// must have the window size of `image` (kcBadArgument otherwise);
// kcUnboundBuffer for an unbound `image` or `repeatImage`.
CLBL_EXPORT kcColorBalanceMeasurement measureColorImage(const kc3PlanePelBuffer& image,
                                                        const kc3PlanePelBuffer& repeatImage,
                                                        const kc3PlanePelBuffer& saturationReference,
                                                        const kc3PlanePelBuffer& hueReference, std::int32_t darkLevel);

// The number of good pels of the window of `image` alone.
CLBL_EXPORT std::int32_t countGoodPels(const kc3PlanePelBuffer& image, const kc3PlanePelBuffer& saturationReference,
                                       std::int32_t darkLevel);

// True when `candidate` beats `best`: more good pels by a margin of 2.5 %,
// or, within that margin, a score above 1.05 times the best's.
CLBL_EXPORT bool isBetterMeasurement(const kcColorBalanceMeasurement& best,
                                     const kcColorBalanceMeasurement& candidate);

// The saturation level that one plane of a saturation reference gives:
// erodedPlaneMax x 0.98, truncated.
CLBL_EXPORT std::int32_t planeSaturationLevel(const kcPelBuffer_const<unsigned char>& plane);

// The highest grey level left after a 3 x 3 grey erosion of the window.
CLBL_EXPORT long erodedPlaneMax(const kcPelBuffer_const<unsigned char>& image);
