// clbl/internal/search_state.h
// The internal state of a kcColorBalanceTool and the phase codes of the
// search (not installed: only the library and its tests see it).
#pragma once

#include <cstdint>
#include <vector>

#include "clbl/measurement.h"
#include "toolkit/camera/color_camera_settings.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Phase codes of the search (a map of it: doc/search.md). What the next
// image does, by phase and mode (grey or colour):
//
//   phase                       mode    image                     next
//   InitialSweep                colour  kept or measured (run)    same | GridPass | Grey*Sweep
//   InitialSweepFixedExposure   colour  kept or measured (pair)   same | GridPass
//   GreyExposureSweep           grey    maximum; exposure x 1.5   same | GreyContrastSweep
//   GreyContrastSweep           grey    maximum; contrast + 0.05  same | GridPass (colour)
//   GridPass                    colour  candidate, 1 to 4 images  same | TableExhausted
//   TableExhausted              colour  unused                    Restart (grey)
//   Restart                     grey    unused                    Restart (colour)
//   Restart                     colour  unused; next grid         GridPass | end
enum kePhase : std::uint32_t {
    kPhaseGreyExposureSweep = 0,          // grey path: exposure sweep
    kPhaseGreyContrastSweep = 1,          // grey path: contrast sweep, then grid passes
    kPhaseGridPass = 3,                   // measure the candidates of the current grid
    kPhaseTableExhausted = 4,             // hand one image to the grey path, then restart
    kPhaseRestart = 5,                    // install a new grid, or end the search
    kPhaseInitialSweep = 6,               // initial sweep over the coarse table, exposure enabled
    kPhaseInitialSweepFixedExposure = 7,  // the same with exposure disabled
};

// One image of a grey sweep: the swept value and the image's robust maximum.
struct kcGreySweepEntry {
    double value = 0.0;
    std::uint32_t greyMax = 0;
};

class kcColorBalanceToolState {
public:
    std::uint32_t candidateIndex = 0;
    double searchSpread = 25.0;
    std::int32_t gridCount = 0;
    kcColorBalanceMeasurement bestMeasurement;
    bool isFirstRound = true;
    bool improvedInRound = false;
    bool previousPassFailed = true;
    std::vector<kcGreySweepEntry> greySweep;
    std::vector<kcColorCameraSettings> bestHistory;
    std::vector<std::int32_t> bestHistoryHits;
    std::vector<kcColorCameraSettings> candidates;
    std::uint32_t phase = kPhaseInitialSweep;
    std::int32_t darkLevel = 5;
    kc3PlanePelBuffer firstImage;
    kc3PlanePelBuffer overexposedImage;
    kc3PlanePelBuffer secondImage;
    bool stepTwoDone = false;
    bool stepOneDone = false;
    bool stepThreeDone = false;
    std::int32_t bestGoodCount = 0;
    kcColorCameraSettings previousSettings;
    kcColorCameraSettings initialSettings;
};
