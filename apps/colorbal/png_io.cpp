// apps/colorbal/png_io.cpp
#include "apps/colorbal/png_io.h"

#include <png.h>

#include <cstring>
#include <memory>

#include "apps/colorbal/app_errors.h"
#include "toolkit/foundation/exceptions.h"

namespace {

// Frees libpng's state of a simplified read or write on every way out.
struct PngImageGuard {
    png_image image{};
    PngImageGuard() { image.version = PNG_IMAGE_VERSION; }
    ~PngImageGuard() { png_image_free(&image); }
    PngImageGuard(const PngImageGuard&) = delete;
    PngImageGuard& operator=(const PngImageGuard&) = delete;
};

std::vector<unsigned char> encode(const std::vector<unsigned char>& pels, long width, long height, png_uint_32 format) {
    PngImageGuard guard;
    guard.image.width = static_cast<png_uint_32>(width);
    guard.image.height = static_cast<png_uint_32>(height);
    guard.image.format = format;
    png_alloc_size_t size = 0;
    // The first call only measures the encoded size.
    if (!png_image_write_to_memory(&guard.image, nullptr, &size, 0, pels.data(), 0, nullptr))
        throw kcRunError(std::string("PNG encoding failed: ") + guard.image.message);
    std::vector<unsigned char> bytes(size);
    if (!png_image_write_to_memory(&guard.image, bytes.data(), &size, 0, pels.data(), 0, nullptr))
        throw kcRunError(std::string("PNG encoding failed: ") + guard.image.message);
    bytes.resize(size);
    return bytes;
}

}  // namespace

std::vector<unsigned char> kfEncodePng(const kc3PlanePelBuffer& image) {
    if (!image.isBound()) throw kcUnboundBuffer();
    const long width = image.width();
    const long height = image.height();
    std::vector<unsigned char> pels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3U);
    const kcPelBuffer_const<unsigned char> r = image.plane0();
    const kcPelBuffer_const<unsigned char> g = image.plane1();
    const kcPelBuffer_const<unsigned char> b = image.plane2();
    unsigned char* out = pels.data();
    for (long y = image.window().top(); y < image.window().bottom(); ++y) {
        const unsigned char* rr = r.pointToRow(y);
        const unsigned char* gg = g.pointToRow(y);
        const unsigned char* bb = b.pointToRow(y);
        for (long x = 0; x < width; ++x) {
            *out++ = rr[x];
            *out++ = gg[x];
            *out++ = bb[x];
        }
    }
    return encode(pels, width, height, PNG_FORMAT_RGB);
}

std::vector<unsigned char> kfEncodePng(const kcPelBuffer_const<unsigned char>& image) {
    if (!image.isBound()) throw kcUnboundBuffer();
    const long width = image.width();
    const long height = image.height();
    std::vector<unsigned char> pels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    unsigned char* out = pels.data();
    for (long y = image.window().top(); y < image.window().bottom(); ++y) {
        std::memcpy(out, image.pointToRow(y), static_cast<std::size_t>(width));
        out += width;
    }
    return encode(pels, width, height, PNG_FORMAT_GRAY);
}

kcRgb8Image kfReadPngRgb8(const std::string& path) {
    PngImageGuard guard;
    if (!png_image_begin_read_from_file(&guard.image, path.c_str()))
        throw kcUsageError("cannot read PNG file '" + path + "': " + guard.image.message);
    const long width = static_cast<long>(guard.image.width);
    const long height = static_cast<long>(guard.image.height);
    if (width < 1 || height < 1 || width > kMaxPngPels / height)
        throw kcUsageError("PNG file '" + path + "' announces " + std::to_string(width) + " x " +
                           std::to_string(height) + " pels; at most " + std::to_string(kMaxPngPels) +
                           " pels are accepted");
    guard.image.format = PNG_FORMAT_RGB;
    kcRgb8Image result;
    result.width = width;
    result.height = height;
    result.rgb.resize(PNG_IMAGE_SIZE(guard.image));
    if (!png_image_finish_read(&guard.image, nullptr, result.rgb.data(), 0, nullptr))
        throw kcUsageError("cannot decode PNG file '" + path + "' (truncated or corrupted?): " + guard.image.message);
    return result;
}
