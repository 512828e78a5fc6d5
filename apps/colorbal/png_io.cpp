// apps/colorbal/png_io.cpp
#include "apps/colorbal/png_io.h"

#include <png.h>
#include <zlib.h>

#include <array>
#include <csetjmp>
#include <cstdio>
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

// The encoder writes into a buffer sized beforehand for the largest file
// it can give, so that no callback allocates or throws inside libpng.
struct PngSink {
    unsigned char* data = nullptr;
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::array<char, 128> error{};
};

extern "C" void pngWrite(png_structp png, png_bytep bytes, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    if (length > sink->capacity - sink->size) png_error(png, "the encoded image is larger than its bound");
    std::memcpy(sink->data + sink->size, bytes, length);
    sink->size += length;
}

extern "C" void pngFlush(png_structp) {}

extern "C" void pngError(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::snprintf(sink->error.data(), sink->error.size(), "%s", message);
    png_longjmp(png, 1);
}

extern "C" void pngWarning(png_structp, png_const_charp) {}

// Fills row y of the encoded image (width x channels bytes).
using RowFiller = void (*)(const void* source, long y, unsigned char* row);

// Encodes width x height pels of 1 (grey) or 3 (RGB) channels, row by row.
// Speed over size: a fast compression level, run-length matching and the
// Sub filter, which suit camera images; the files are looked at, not kept.
std::vector<unsigned char> encode(long width, long height, int channels, RowFiller fill, const void* source) {
    const std::size_t raw = static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * channels + 1U);
    // zlib's worst case (stored blocks) plus PNG chunk headers and trailer.
    PngSink sink;
    sink.capacity = raw + raw / 64U + 4096U;
    const std::unique_ptr<unsigned char[]> buffer = std::make_unique_for_overwrite<unsigned char[]>(sink.capacity);
    sink.data = buffer.get();
    std::vector<unsigned char> row(static_cast<std::size_t>(width) * static_cast<std::size_t>(channels));

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, pngError, pngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    volatile bool done = false;
    // Nothing with a destructor is made between here and the end of the
    // block: libpng reports errors by a long jump back to this point.
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &sink, pngWrite, pngFlush);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_RLE);
        png_write_info(png, info);
        for (long y = 0; y < height; ++y) {
            fill(source, y, row.data());
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        done = true;
    }
    png_destroy_write_struct(&png, &info);
    if (!done)
        throw kcRunError(std::string("PNG encoding of a ") + std::to_string(width) + " x " + std::to_string(height) +
                         " image failed: " + (sink.error[0] != '\0' ? sink.error.data() : "out of memory"));
    return std::vector<unsigned char>(buffer.get(), buffer.get() + sink.size);
}

void fillRgbRow(const void* source, long y, unsigned char* out) {
    const kc3PlanePelBuffer& image = *static_cast<const kc3PlanePelBuffer*>(source);
    const long row = image.window().top() + y;
    const unsigned char* r = image.plane0().pointToRow(row);
    const unsigned char* g = image.plane1().pointToRow(row);
    const unsigned char* b = image.plane2().pointToRow(row);
    for (long x = 0; x < image.width(); ++x) {
        *out++ = r[x];
        *out++ = g[x];
        *out++ = b[x];
    }
}

void fillGreyRow(const void* source, long y, unsigned char* out) {
    const kcPelBuffer_const<unsigned char>& image = *static_cast<const kcPelBuffer_const<unsigned char>*>(source);
    std::memcpy(out, image.pointToRow(image.window().top() + y), static_cast<std::size_t>(image.width()));
}

}  // namespace

std::vector<unsigned char> kfEncodePng(const kc3PlanePelBuffer& image) {
    if (!image.isBound()) throw kcUnboundBuffer();
    return encode(image.width(), image.height(), 3, fillRgbRow, &image);
}

std::vector<unsigned char> kfEncodePng(const kcPelBuffer_const<unsigned char>& image) {
    if (!image.isBound()) throw kcUnboundBuffer();
    return encode(image.width(), image.height(), 1, fillGreyRow, &image);
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
