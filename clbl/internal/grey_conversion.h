// clbl/internal/grey_conversion.h
// The 8-bit grey form of an acquired image.
#pragma once

#include "toolkit/acq/acq_image.h"
#include "toolkit/foundation/pel_buffer.h"
#include "toolkit/foundation/ptr_handle.h"

// The image's own grey plane when it can deliver one, else the intensity
// of its three planes. kcBadPointer for an empty handle.
kcPelBuffer<unsigned char> kfGetGrey8PelBuffer(const kcPtrHandle<kcAcqImage>& image);
