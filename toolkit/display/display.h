// toolkit/display/display.h
// kcDisplay: the scope of the display layer's enumerations.
#pragma once

class kcDisplay {
public:
    // The coordinates a sketch is drawn in.
    enum CoordinateSystem : int {
        eImageCoordinates = 0,    // pels of the image the sketch annotates
        eDisplayCoordinates = 1,  // pels of the display window
    };
};
