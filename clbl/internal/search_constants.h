// clbl/internal/search_constants.h
// The constants and the settings comparison that several steps of the
// search share.
#pragma once

#include <cmath>

#include "toolkit/camera/color_camera_settings.h"

// Two settings values within this distance are the same value.
inline constexpr double kSettingsTolerance = 1e-15;

// Good counts within this factor of each other are close: a measurement is
// only taken as better on its score then, and a candidate whose good count
// falls short of the best by more is passed over.
inline constexpr double kGoodCountMargin = 1.025;

// A candidate is pointless when a setting at least as bright (dark) as it
// left fewer unsaturated (undarkened) pels than the best good count with
// the margin applied twice.
inline constexpr double kExclusionFactor = 1.0 / (kGoodCountMargin * kGoodCountMargin);

// True when a and b differ by at most kSettingsTolerance (never for NaN).
inline bool isSameValue(double a, double b) { return std::fabs(a - b) <= kSettingsTolerance; }

// True when every component of a and b is the same value.
inline bool isSameSettings(const kcColorCameraSettings& a, const kcColorCameraSettings& b) {
    return isSameValue(a.exposure(), b.exposure()) && isSameValue(a.contrast(), b.contrast()) &&
           isSameValue(a.brightness(), b.brightness());
}
