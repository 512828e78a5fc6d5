// python/src/py_images.cpp
#include "py_images.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {
constexpr int kColorPlanes = 3;  // samples per pel of a colour array

std::string shapeText(const py::array& a) {
    std::string text = "(";
    for (py::ssize_t i = 0; i < a.ndim(); ++i) text += (i ? ", " : "") + std::to_string(a.shape(i));
    return text + (a.ndim() == 1 ? ",)" : ")");
}

// Element (y, x[, c]) of an array with byte strides, which may be negative.
struct StridedView {
    const unsigned char* origin;
    std::ptrdiff_t rowStride;
    std::ptrdiff_t pelStride;
    std::ptrdiff_t sampleStride;

    const unsigned char* row(long y) const { return origin + y * rowStride; }
};

// One row of RGB pels into three planes. Packed is the usual layout of a
// camera frame (pels of three adjacent samples); its constant strides let
// the compiler vectorise the loop.
template <bool Packed>
void splitRow(const StridedView& view, const unsigned char* in, unsigned char* r, unsigned char* g, unsigned char* b,
              long width) {
    const std::ptrdiff_t pel = Packed ? kColorPlanes : view.pelStride;
    const std::ptrdiff_t sample = Packed ? 1 : view.sampleStride;
    for (long x = 0; x < width; ++x) {
        const unsigned char* p = in + x * pel;
        r[x] = p[0];
        g[x] = p[sample];
        b[x] = p[2 * sample];
    }
}
}  // namespace

kcPtrHandle<kcAcqImage> kfImageFromArray(const py::handle& object, const std::string& what) {
    if (!py::isinstance<py::array>(object))
        throw py::type_error(what + " must be a numpy array, not " +
                             std::string(py::str(py::type::handle_of(object).attr("__name__"))));
    const auto array = py::reinterpret_borrow<py::array>(object);
    if (!array.dtype().is(py::dtype::of<std::uint8_t>()))
        throw py::type_error(what + " must have dtype uint8, not " + std::string(py::str(array.dtype())));
    const bool color = array.ndim() == 3 && array.shape(2) == kColorPlanes;
    if (!color && array.ndim() != 2)
        throw py::value_error(what + " must be H x W x 3 (RGB) or H x W (grey), not of shape " + shapeText(array));
    if (array.shape(0) == 0 || array.shape(1) == 0)
        throw py::value_error(what + " is empty: shape " + shapeText(array));

    const long height = static_cast<long>(array.shape(0));
    const long width = static_cast<long>(array.shape(1));
    const StridedView view{static_cast<const unsigned char*>(array.data()), array.strides(0), array.strides(1),
                           color ? array.strides(2) : 0};
    if (!color) {
        kcPelBuffer<unsigned char> grey(width, height);
        for (long y = 0; y < height; ++y) {
            const unsigned char* in = view.row(y);
            unsigned char* out = grey.pointToRow(y);
            for (long x = 0; x < width; ++x) out[x] = in[x * view.pelStride];
        }
        return kcPtrHandle<kcAcqImage>(new kcAcqImage(grey));
    }
    kc3PlanePelBuffer planes(width, height);
    kcPelBuffer<unsigned char> red = planes.plane0();
    kcPelBuffer<unsigned char> green = planes.plane1();
    kcPelBuffer<unsigned char> blue = planes.plane2();
    const bool packed = view.pelStride == kColorPlanes && view.sampleStride == 1;
    for (long y = 0; y < height; ++y) {
        if (packed)
            splitRow<true>(view, view.row(y), red.pointToRow(y), green.pointToRow(y), blue.pointToRow(y), width);
        else
            splitRow<false>(view, view.row(y), red.pointToRow(y), green.pointToRow(y), blue.pointToRow(y), width);
    }
    return kcPtrHandle<kcAcqImage>(new kcAcqImage(planes));
}

py::array kfArrayFromPlanes(const kc3PlanePelBuffer& planes) {
    const long height = planes.height();
    const long width = planes.width();
    py::array_t<std::uint8_t> array(
        {static_cast<py::ssize_t>(height), static_cast<py::ssize_t>(width), static_cast<py::ssize_t>(kColorPlanes)});
    unsigned char* out = array.mutable_data();
    const kcPelBuffer_const<unsigned char> source[kColorPlanes] = {planes.plane0(), planes.plane1(), planes.plane2()};
    for (long y = 0; y < height; ++y) {
        const long top = planes.window().top();
        for (int p = 0; p < kColorPlanes; ++p) {
            const unsigned char* in = source[p].pointToRow(top + y);
            unsigned char* row = out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * kColorPlanes;
            for (long x = 0; x < width; ++x) row[x * kColorPlanes + p] = in[x];
        }
    }
    return array;
}

py::array kfArrayFromGrey(const kcPelBuffer_const<unsigned char>& grey) {
    const long height = grey.height();
    const long width = grey.width();
    py::array_t<std::uint8_t> array({static_cast<py::ssize_t>(height), static_cast<py::ssize_t>(width)});
    unsigned char* out = array.mutable_data();
    for (long y = 0; y < height; ++y) {
        const unsigned char* in = grey.pointToRow(grey.window().top() + y);
        std::copy(in, in + width, out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    }
    return array;
}
