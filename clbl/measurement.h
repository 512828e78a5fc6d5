// clbl/measurement.h
// kcColorBalanceMeasurement: what the search learns from one image.
#pragma once

#include <array>
#include <cstdint>

#include "clbl/export.h"
#include "toolkit/foundation/histo_stats.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// A pel is good (usable) when every plane value q satisfies
// darkLevel <= q <= the plane's saturation level.
struct kcColorBalanceMeasurement {
    // Highest value of each plane that still counts as unsaturated.
    std::array<std::int32_t, 3> saturationLevels{};
    // Window height times width of the measured image.
    std::int32_t pelCount = 0;
    // Pels that are not good and have a plane below the dark level.
    std::int32_t darkCount = 0;
    // Pels that are not good and have a plane above its saturation level.
    std::int32_t brightCount = 0;
    // Plane values over the good pels, per plane.
    std::array<kcHistoStats, 3> planeStats{};
    // |image - repeat image| over the good pels, per plane.
    std::array<kcHistoStats, 3> noiseStats{};
    // |hue - reference hue| over the good pels; all zero without a reference.
    kcHistoStats hueShiftStats;
    // Number of good pels (the sample count of each planeStats entry).
    std::int32_t goodCount = 0;
};

// The number of good pels of the window of `image` alone, with the
// saturation level 239 for every plane (no saturation reference).
CLBL_EXPORT std::int32_t kfCountGoodPels(const kc3PlanePelBuffer& image, std::int32_t darkLevel);
