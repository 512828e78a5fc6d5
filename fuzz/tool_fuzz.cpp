// fuzz/tool_fuzz.cpp
// A kcColorBalanceTool fed arbitrary parameters (through the validating
// setters; a rejected value keeps the default), arbitrary start settings
// and an arbitrary sequence of small images of one size, until done().
//
// No exception may come out of the tool for bound images of one size, and a
// finished search's result lies in the exposure range (exposure enabled,
// range ordered) and in 0..1 for contrast and brightness on enabled axes,
// up to the rounding to the axis's step.
//
// A search is followed for at most kMaxImagesPerInput images. Searches
// with extreme parameters can take up to search_limits::kMaxImages (about
// 195000) images, minutes per input under the sanitizers; the fuzzer spends
// that time far better on more inputs. Inputs whose pattern-count byte is
// 0xFF (one in 256) follow the search to its end, which must come within
// that bound.
//
// Input: flags, parameter values (a byte picks a value of interest or the
// next eight bytes as a raw double), image size, then pel bytes from which
// the images are made (cycled).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "clbl/defs.h"
#include "clbl/params.h"
#include "clbl/tool.h"
#include "tests/support/search_limits.h"
#include "tests/support/search_runner.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

// Images up to 6 x 6 pels keep each step fast and still reach every border
// case of the smoothing (its kernel is 9 pels wide) and of the subsampling
// (factors up to 6).
constexpr long kMaxSide = 6;
constexpr std::size_t kMaxBaseImages = 4;
// Every phase of the search (the initial sweep, the grey sweeps, grid
// passes, restarts) is reached within this many images with suitable
// parameters (few enabled axes, coarse steps). Cut this low the fuzzer runs
// about thirty times as many inputs as without a cut, and covers more.
constexpr long kMaxImagesPerInput = 120;
constexpr std::uint8_t kWholeSearch = 0xFF;  // pattern-count byte of inputs followed to the end

// A broken promise: say which, then abort so the fuzzer keeps the input.
void fail(const char* what, int line) {
    std::fprintf(stderr, "%s:%d: %s\n", __FILE__, line, what);
    std::abort();
}
#define FUZZ_REQUIRE(condition) ((condition) ? static_cast<void>(0) : fail(#condition, __LINE__))

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    double value() {
        static const double kInteresting[] = {0.0,
                                              -0.0,
                                              1e-6,
                                              0.3,
                                              0.01,
                                              0.02,
                                              0.001,
                                              0.0009765625,
                                              0.1,
                                              0.25,
                                              0.5,
                                              0.5000001,
                                              1.0,
                                              2.0,
                                              1e-12,
                                              1e6,
                                              1e-300,
                                              1e300,
                                              std::numeric_limits<double>::denorm_min(),
                                              std::numeric_limits<double>::max(),
                                              std::numeric_limits<double>::infinity(),
                                              -std::numeric_limits<double>::infinity(),
                                              std::numeric_limits<double>::quiet_NaN(),
                                              -1.0,
                                              -1e-6};
        constexpr std::size_t kCount = sizeof(kInteresting) / sizeof(kInteresting[0]);
        const std::uint8_t pick = byte();
        if (pick < 0xF0) return kInteresting[pick % kCount];
        std::uint8_t raw[sizeof(double)];
        for (std::uint8_t& b : raw) b = byte();
        double v;
        std::memcpy(&v, raw, sizeof v);
        return v;
    }
    std::vector<std::uint8_t> rest() { return std::vector<std::uint8_t>(data_ + pos_, data_ + size_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

template <class Setter>
void trySet(Setter set) {
    try {
        set();
    } catch (const kcColorBalanceDefs::BadParams&) {
        // Rejected: the record keeps its value.
    }
}

// A camera whose response grows with exposure and contrast and is lifted
// by the brightness: the value of a pel with base value `base` at settings
// s, clamped to 0..255 (and 0 for values that are not numbers).
class Response {
public:
    explicit Response(const kcColorCameraSettings& s)
        : exposure_(s.exposure()), gain_(std::exp2(4.0 * s.contrast())), lift_(60.0 * s.brightness()) {}
    unsigned char operator()(std::uint8_t base) const {
        double v = static_cast<double>(base) * exposure_ * 100.0 * gain_ + lift_;
        if (!(v >= 0.0)) v = 0.0;
        if (v > 255.0) v = 255.0;
        return static_cast<unsigned char>(v);
    }

private:
    double exposure_, gain_, lift_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const std::uint8_t flags = in.byte();

    kcColorBalanceParams params;
    params.isExposureEnabled((flags & 1) != 0);
    params.isContrastEnabled((flags & 2) != 0);
    params.isBrightnessEnabled((flags & 4) != 0);
    params.usePositive8BitLut((flags & 8) != 0);
    const bool responsive = (flags & 0x10) != 0;  // images follow the settings
    const bool grey = (flags & 0x20) != 0;        // images delivered as grey
    trySet([&] { params.minExposureStepSize(in.value()); });
    trySet([&] { params.minContrastStepSize(in.value()); });
    trySet([&] { params.minBrightnessStepSize(in.value()); });
    const double rangeStart = in.value();
    const double rangeEnd = in.value();
    trySet([&] { params.exposureRange(kcRange(rangeStart, rangeEnd)); });
    const double startExposure = in.value();
    const double startContrast = in.value();
    const double startBrightness = in.value();

    const std::uint8_t sizes = in.byte();
    const long width = 1 + (sizes & 0x0F) % kMaxSide;
    const long height = 1 + (sizes >> 4) % kMaxSide;
    const std::uint8_t bases = in.byte();
    const std::size_t baseCount = 1 + bases % kMaxBaseImages;
    const bool wholeSearch = bases == kWholeSearch;
    const unsigned long subsampling = in.byte() % 7;

    std::vector<std::uint8_t> pels = in.rest();
    if (pels.empty()) pels.push_back(0);

    // The images cycle through baseCount patterns cut from the input, each
    // the next 3 x width x height bytes (cycled); cut once per input.
    const std::size_t planeSize = static_cast<std::size_t>(width * height);
    std::vector<std::vector<std::uint8_t>> patterns(baseCount, std::vector<std::uint8_t>(3 * planeSize));
    for (std::size_t b = 0; b < baseCount; ++b)
        for (std::size_t i = 0; i < 3 * planeSize; ++i) patterns[b][i] = pels[(b * planeSize + i) % pels.size()];
    const auto makeImage = [&](const std::vector<std::uint8_t>& pattern, const auto& value) {
        kc3PlanePelBuffer planes(width, height);
        const std::uint8_t* from = pattern.data();
        for (int p = 0; p < 3; ++p) {
            kcPelBuffer<unsigned char> plane = planes.plane(p);
            for (long y = 0; y < height; ++y, from += width) {
                unsigned char* row = plane.pointToRow(y);
                for (long x = 0; x < width; ++x) row[x] = value(from[x]);
            }
        }
        return planes;
    };
    // Images that do not follow the settings are made once; the tool only
    // reads them, so handing one out again is handing out the same pels.
    std::vector<kc3PlanePelBuffer> fixed;
    if (!responsive)
        for (const std::vector<std::uint8_t>& pattern : patterns)
            fixed.push_back(makeImage(pattern, [](std::uint8_t b) { return b; }));

    kcColorBalanceTool tool;
    tool.subsamplingFactor(subsampling);
    long images = 0;
    const auto imageFor = [&](const kcColorCameraSettings& settings) {
        const std::size_t base = static_cast<std::size_t>(images++) % baseCount;
        const kc3PlanePelBuffer planes = responsive ? makeImage(patterns[base], Response(settings)) : fixed[base];
        return kcPtrHandle<kcAcqImage>(grey ? new kcAcqImage(planes.plane(1)) : new kcAcqImage(planes));
    };
    const search_runner::SearchRun run =
        search_runner::runSearch(tool, params, kcColorCameraSettings(startExposure, startContrast, startBrightness),
                                 wholeSearch ? search_limits::kMaxImages : kMaxImagesPerInput, imageFor, false);
    FUZZ_REQUIRE(run.done || !wholeSearch);
    if (!run.done) return 0;

    const kcColorCameraSettings result = run.result;
    const kcRange range = params.exposureRange();
    using search_limits::withinRangeUpToStep;
    if (params.isExposureEnabled() && range.start() <= range.end())
        FUZZ_REQUIRE(withinRangeUpToStep(result.exposure(), range.start(), range.end(), params.minExposureStepSize()));
    if (params.isContrastEnabled())
        FUZZ_REQUIRE(withinRangeUpToStep(result.contrast(), 0.0, 1.0, params.minContrastStepSize()));
    if (params.isBrightnessEnabled())
        FUZZ_REQUIRE(withinRangeUpToStep(result.brightness(), 0.0, 1.0, params.minBrightnessStepSize()));
    return 0;
}
