// tests/support/search_limits.h
// What every search of kcColorBalanceTool keeps to, whatever its parameters
// and images: the most images it takes and where its result lies. The
// termination test and the tool fuzzer assert both.
#pragma once

#include <cmath>

namespace search_limits {

// Rungs of the initial exposure ladder: it doubles from a positive start
// (at least the smallest positive double, 2^-1074) until it reaches the
// range's end (at most the largest double, just under 2^1024, or infinity
// once), so at most 1074 + 1024 doublings plus the start and infinity.
constexpr long kExposureRungs = 1074 + 1024 + 2;
// Contrast and brightness rungs: 0.0 to 1.0 in steps of 0.2.
constexpr long kLinearRungs = 6;
// The initial sweep takes one image per candidate with exposure enabled,
// two per candidate (of a table with one exposure) without.
constexpr long kInitialSweepImages = kExposureRungs * kLinearRungs * kLinearRungs;
// The grey exposure sweep grows the exposure by 1.5 per image, or, snapped
// to a step, by at least one step and at least 1.25 once above two steps;
// from the smallest positive double to the largest that is well under
// 8000 images. The contrast sweep goes from 0 to 1 in steps of 0.05.
constexpr long kGreySweepImages = 8000 + 100;
// A grid pass has at most 3 x 3 x 3 candidates (26 around the centre plus
// the centre on a first round) of up to four images each; three more images
// hand over to the next pass. The search ends after 1000 restarts, so at
// most 1001 passes run.
constexpr long kGridPassImages = 27 * 4 + 3;
constexpr long kGridPasses = 1001;

constexpr long kMaxImages = kInitialSweepImages + kGreySweepImages + kGridPasses * kGridPassImages + 100;

// True when `value` lies in [low, high] up to the rounding of a setting to
// a multiple of `step`: the search clamps a setting into its range and then
// snaps it to the step, which moves it by up to half a step (plus the
// single-precision rounding of value / step, 2^-24 relative, with margin).
// With step 0 nothing is snapped and the range holds exactly.
inline bool withinRangeUpToStep(double value, double low, double high, double step) {
    const auto slack = [step](double bound) { return step == 0.0 ? 0.0 : step / 2 + std::fabs(bound) * 0x1p-22; };
    // Compared with the bound itself first: an infinite bound has an
    // infinite slack, and inf - inf is not a number.
    return (value >= low || value >= low - slack(low)) && (value <= high || value <= high + slack(high));
}

}  // namespace search_limits
