// fuzz/tool_fuzz.cpp
// A kcColorBalanceTool fed arbitrary parameters (through the validating
// setters; a rejected value keeps the default), arbitrary start settings
// and an arbitrary sequence of small images of one size, until done().
//
// The search must end within search_limits::kMaxImages images (about
// 195000; see fuzz/search_limits.h for how it is reached: the
// initial table, the grey sweeps and 1001 grid passes of at most 27
// candidates x 4 images). No exception may come out of the tool for bound
// images of one size, and a finished search's result lies in the exposure
// range (exposure enabled, range ordered) and in 0..1 for contrast and
// brightness on enabled axes, up to the rounding to the axis's step.
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
#include "fuzz/search_limits.h"
#include "tests/support/search_runner.h"
#include "toolkit/acq/acq_image.h"
#include "toolkit/foundation/three_plane_pel_buffer.h"

namespace {

constexpr long kMaxSide = 12;  // images up to 12 x 12 pels keep each step fast
constexpr std::size_t kMaxBaseImages = 4;

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

// The value of a pel with base value `base` at these settings: a camera
// whose response grows with exposure and contrast and is lifted by the
// brightness, clamped to 0..255 (and 0 for values that are not numbers).
unsigned char respond(std::uint8_t base, const kcColorCameraSettings& s) {
    double v = static_cast<double>(base) * s.exposure() * 100.0 * std::exp2(4.0 * s.contrast()) + 60.0 * s.brightness();
    if (!(v >= 0.0)) v = 0.0;
    if (v > 255.0) v = 255.0;
    return static_cast<unsigned char>(v);
}

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
    const std::size_t baseCount = 1 + in.byte() % kMaxBaseImages;
    const unsigned long subsampling = in.byte() % 7;

    std::vector<std::uint8_t> pels = in.rest();
    if (pels.empty()) pels.push_back(0);

    kcColorBalanceTool tool;
    tool.subsamplingFactor(subsampling);
    long images = 0;
    // The images cycle through baseCount patterns cut from the input.
    const auto imageFor = [&](const kcColorCameraSettings& settings) {
        const std::size_t base =
            static_cast<std::size_t>(images++) % baseCount * static_cast<std::size_t>(width * height);
        std::size_t next = 0;
        kc3PlanePelBuffer planes(width, height);
        for (int p = 0; p < 3; ++p) {
            kcPelBuffer<unsigned char> plane = planes.plane(p);
            for (long y = 0; y < height; ++y) {
                unsigned char* row = plane.pointToRow(y);
                for (long x = 0; x < width; ++x) {
                    const std::uint8_t b = pels[(base + next++) % pels.size()];
                    row[x] = responsive ? respond(b, settings) : b;
                }
            }
        }
        return kcPtrHandle<kcAcqImage>(grey ? new kcAcqImage(planes.plane(1)) : new kcAcqImage(planes));
    };
    const search_runner::SearchRun run =
        search_runner::runSearch(tool, params, kcColorCameraSettings(startExposure, startContrast, startBrightness),
                                 search_limits::kMaxImages, imageFor, false);
    FUZZ_REQUIRE(run.done);

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
