// apps/colorbal/result_warnings.h
// Whether a balancing result is usable: the search returns its best
// settings even when nothing it saw was well exposed, and its rounding can
// put a setting outside what was asked for. The program reports each such
// fault as a warning and exits with kExitUnusableResult.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "clbl/params.h"
#include "clbl/result.h"

// Below this fraction of good pels at the result, the result is useless.
constexpr double kMinUsableGoodPelFraction = 0.01;

// One sentence per fault: too few good pels at the result (when known), an exposure
// outside the requested range, a contrast or brightness outside 0..1.
// Empty when the result is usable.
std::vector<std::string> kfResultWarnings(const kcColorBalanceParams& params, const kcColorBalanceResult& result,
                                          std::optional<double> goodFractionResult);
