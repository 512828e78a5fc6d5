// clbl/internal/grey_conversion.cpp
#include "clbl/internal/grey_conversion.h"

#include "toolkit/imgproc/color_conversion.h"

kcPelBuffer<unsigned char> kfGetGrey8PelBuffer(const kcPtrHandle<kcAcqImage>& image) {
    if (image->isConversionSupported(eImageFormatGrey8)) return image->getGrey8PelBuffer();
    kcPelBuffer<unsigned char> grey;
    kfPelRGBToI(image->get3PlanePelBuffer(), grey);
    return grey;
}
