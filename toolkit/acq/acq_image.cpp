// toolkit/acq/acq_image.cpp
#include "toolkit/acq/acq_image.h"

kcAcqImage::kcAcqImage(const kc3PlanePelBuffer& planes)
    : format_(planes.isBound() ? eImageFormatPlanarRGB8 : eImageFormatUnknown), planes_(planes) {}

kcAcqImage::kcAcqImage(const kcPelBuffer<unsigned char>& grey)
    : format_(grey.isBound() ? eImageFormatGrey8 : eImageFormatUnknown), grey_(grey) {}

kcAcqImage::~kcAcqImage() = default;

bool kcAcqImage::isBound() const { return format_ != eImageFormatUnknown; }

bool kcAcqImage::isConversionSupported(keImageFormat format) const {
    switch (format_) {
    case eImageFormatGrey8:
        return format == eImageFormatGrey8 || format == eImageFormatPlanarRGB8;
    case eImageFormatPlanarRGB8:
        return format == eImageFormatPlanarRGB8;
    default:
        return false;
    }
}

kc3PlanePelBuffer kcAcqImage::get3PlanePelBuffer() const {
    if (format_ == eImageFormatGrey8) return kc3PlanePelBuffer(grey_, grey_, grey_);
    return planes_;
}

kcPelBuffer<unsigned char> kcAcqImage::getGrey8PelBuffer() const {
    if (format_ == eImageFormatGrey8) return grey_;
    if (format_ == eImageFormatUnknown) throw kcUnboundBuffer(L"acquired image is not bound");
    throw kcBadArgument(L"a colour image cannot be delivered as 8-bit grey without conversion");
}
