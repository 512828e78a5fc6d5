// toolkit/acq/acq_properties.h
// The camera property interfaces a FIFO can offer: exposure, per-tap
// contrast and brightness, and the 8-bit input lookup table.
#pragma once

#include <vector>

#include "toolkit/foundation/export.h"

// The exposure time, in seconds.
class KC_EXPORT kcExposureProp {
public:
    virtual ~kcExposureProp();

    virtual double exposure() const = 0;
    virtual void exposure(double seconds) = 0;

protected:
    kcExposureProp() = default;
    kcExposureProp(const kcExposureProp&) = default;
    kcExposureProp& operator=(const kcExposureProp&) = default;
};

// Contrast and brightness of a camera whose sensor is read out through one
// or more taps, each with its own analogue gain (contrast) and offset
// (brightness). Values are on the camera's 0..1 scale.
class KC_EXPORT kcContrastBrightnessProp {
public:
    // A tap of the camera; the underlying type is long, so any tap number
    // can be named by a cast.
    enum Channel : long { eChannel0 = 0, eChannel1 = 1, eChannel2 = 2, eChannel3 = 3 };
    // Tap argument of the writers that addresses every tap at once.
    static constexpr long kAllTaps = -1;

    virtual ~kcContrastBrightnessProp();

    // The contrast or brightness of one tap; kcBadArgument for a channel
    // outside 0..numTaps()-1.
    virtual double contrast(Channel channel) const = 0;
    virtual double brightness(Channel channel) const = 0;
    // Writes one tap (0..numTaps()-1) or all of them (kAllTaps);
    // kcBadArgument for another tap number.
    virtual void setContrastEx(double value, long tap) = 0;
    virtual void setBrightnessEx(double value, long tap) = 0;
    virtual long numTaps() const = 0;

protected:
    kcContrastBrightnessProp() = default;
    kcContrastBrightnessProp(const kcContrastBrightnessProp&) = default;
    kcContrastBrightnessProp& operator=(const kcContrastBrightnessProp&) = default;
};

// The 8-bit input lookup table that maps every sensor value 0..255 to the
// delivered pel value.
class KC_EXPORT kc8BitInputLutProp {
public:
    // The LUT of a channel; the underlying type is long.
    enum LutChannel : long { eLutChannel0 = 0 };
    static constexpr int kLutSize = 256;
    // The positive (identity) table: entry i holds i.
    static const unsigned char positive8BitLut[kLutSize];

    virtual ~kc8BitInputLutProp();

    // The 256 entries of a channel's table; kcBadArgument for a channel the
    // FIFO does not have.
    virtual std::vector<unsigned char> inputLut(LutChannel channel) const = 0;
    // Installs a table of 256 entries read from `table`; kcBadPointer for a
    // null pointer.
    virtual void inputLut(const unsigned char* table) = 0;

protected:
    kc8BitInputLutProp() = default;
    kc8BitInputLutProp(const kc8BitInputLutProp&) = default;
    kc8BitInputLutProp& operator=(const kc8BitInputLutProp&) = default;
};
