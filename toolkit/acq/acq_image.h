// toolkit/acq/acq_image.h
// kcAcqImage: one acquired image, colour (three planes) or grey.
#pragma once

#include "toolkit/foundation/export.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

// Pel formats an image can be delivered in.
enum keImageFormat {
    eImageFormatUnknown = 0,
    eImageFormatGrey8 = 1,        // one 8-bit plane
    eImageFormatPlanarRGB8 = 2,   // three 8-bit planes
};

class KC_EXPORT kcAcqImage {
public:
    // An unbound image: it holds no pels.
    kcAcqImage() = default;
    // A colour image over the given planes (shared, not copied).
    explicit kcAcqImage(const kc3PlanePelBuffer& planes);
    // A grey image over the given plane (shared, not copied).
    explicit kcAcqImage(const kcPelBuffer<unsigned char>& grey);
    virtual ~kcAcqImage();

    // True when the image holds pels.
    bool isBound() const;
    // The format the image was delivered in.
    keImageFormat format() const { return format_; }
    // Whether the image can be delivered in `format` without a conversion:
    // a grey image as eImageFormatGrey8, a colour image as
    // eImageFormatPlanarRGB8; both as planar RGB.
    bool isConversionSupported(keImageFormat format) const;

    // The image as three planes; a grey image gives three planes that all
    // share its grey plane. Unbound for an unbound image.
    kc3PlanePelBuffer get3PlanePelBuffer() const;
    // The grey plane of a grey image; kcBadArgument for a colour image
    // (isConversionSupported(eImageFormatGrey8) tells beforehand).
    kcPelBuffer<unsigned char> getGrey8PelBuffer() const;

private:
    keImageFormat format_ = eImageFormatUnknown;
    kc3PlanePelBuffer planes_;
    kcPelBuffer<unsigned char> grey_;
};
