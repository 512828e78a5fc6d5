// python/src/py_images.h
// numpy images in and out: an H x W x 3 (RGB) or H x W (grey) uint8 array,
// any strides, copied once into the toolkit's pel buffers, and images
// copied back out as new arrays.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <string>

#include "toolkit/acq/acq_image.h"
#include "toolkit/foundation/ptr_handle.h"

namespace py = pybind11;

// A new image holding a copy of `array`. TypeError when `array` is not a
// numpy array of dtype uint8, ValueError for another shape or an empty one;
// `what` names the array in the message ("image", "MyCamera.grab() result").
// Needs the GIL.
kcPtrHandle<kcAcqImage> kfImageFromArray(const py::handle& array, const std::string& what);

// A new array holding a copy of a colour (H x W x 3) or grey (H x W) image.
py::array kfArrayFromPlanes(const kc3PlanePelBuffer& planes);
py::array kfArrayFromGrey(const kcPelBuffer_const<unsigned char>& grey);
