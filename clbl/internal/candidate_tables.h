// clbl/internal/candidate_tables.h
// The candidate tables of the search: the coarse initial table and the
// grid around a centre, with the process-wide tables the grids rely on
// (not installed: only the library and its tests see it).
#pragma once

#include <vector>

#include "clbl/params.h"
#include "toolkit/camera/color_camera_settings.h"

// One grid centre already expanded, at one spread.
struct kcExpandedCentre {
    double exposure;
    double contrast;
    double brightness;
    double spread;
};

// The coarse table of the whole settings space: every combination of an
// exposure ladder (doubling across the exposure range), a contrast ladder
// and a brightness ladder (0.0 to 1.0 in steps of 0.2), contrast outermost,
// exposure innermost. Disabled axes hold the value of `start`.
std::vector<kcColorCameraSettings> initialCandidateSettings(const kcColorBalanceParams& params,
                                                            const kcColorCameraSettings& start);

// The neighbourhood of `centre`: three rungs per axis at a distance set by
// `spread`, all combinations except the centre itself and any setting of
// `previousTable`. Returns an empty table when this centre was already
// expanded at this spread since the last call with `restart` true.
std::vector<kcColorCameraSettings> candidateGridAround(const kcColorBalanceParams& params,
                                                       const kcColorCameraSettings& centre, double spread,
                                                       const std::vector<kcColorCameraSettings>& previousTable,
                                                       bool restart);

// The process-wide memory of expanded grid centres, shared by all tools.
std::vector<kcExpandedCentre>& expandedCentres();
// The process-wide copy of the last non-empty candidate table replaced by
// a grid installation, shared by all tools.
std::vector<kcColorCameraSettings>& previousCandidates();
