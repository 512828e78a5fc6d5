// The simulated FIFO: properties applied to its images, taps and the LUT.
// The driver's tests use its write log and injected faults throughout.
#include "toolkit/sim/sim_fifo.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "toolkit/foundation/exceptions.h"

namespace {
kcSimCamera quietCamera() { return kcSimCamera(kcSimScene::builtIn("chart", 64, 48), 1, false); }

// Every pel of every plane.
std::vector<int> pels(const kc3PlanePelBuffer& image) {
    std::vector<int> out;
    for (int p = 0; p < 3; ++p)
        for (long y = 0; y < image.height(); ++y)
            out.insert(out.end(), image.plane(p).pointToRow(y), image.plane(p).pointToRow(y) + image.width());
    return out;
}

}  // namespace

TEST(SimFifo, RendersWithItsCurrentPropertiesLutAndTapsRefusesBadValuesAndOffersItsChosenProperties) {
    kcSimFifoOptions options;
    options.numTaps = 2;
    kcSimFifo fifo(quietCamera(), options);
    fifo.exposure(0.005);
    fifo.setContrastEx(0.4, kcContrastBrightnessProp::kAllTaps);
    fifo.setContrastEx(0.8, 1);
    fifo.setBrightnessEx(0.1, 0);
    std::array<unsigned char, 256> inverted{};
    for (int i = 0; i < 256; ++i) inverted[static_cast<std::size_t>(i)] = static_cast<unsigned char>(255 - i);
    fifo.inputLut(inverted.data());
    // The image is the camera's under exactly these settings, tap by tap.
    const kcSimExposure expected{
        .exposure = 0.005, .tapContrast = {0.4, 0.8}, .tapBrightness = {0.1, 0.0}, .lut = inverted};
    kcSimCamera reference = quietCamera();
    fifo.start(0);
    EXPECT_EQ(pels(fifo.completeAcq(kcAcqFifo::CompleteArgs())->get3PlanePelBuffer()),
              pels(reference.render(expected)));

    // Bad values are refused and leave the property as it was.
    EXPECT_THROW(fifo.inputLut(static_cast<kc8BitInputLutProp::LutChannel>(1)), kcBadArgument);
    EXPECT_THROW(fifo.inputLut(nullptr), kcBadPointer);
    EXPECT_THROW(fifo.exposure(-0.001), kcBadArgument);
    EXPECT_EQ(fifo.exposure(), 0.005);
    EXPECT_THROW(fifo.setContrastEx(0.5, 2), kcBadArgument);
    EXPECT_THROW(fifo.setBrightnessEx(0.5, -2), kcBadArgument);
    EXPECT_THROW(fifo.contrast(kcContrastBrightnessProp::eChannel2), kcBadArgument);
    options.numTaps = 0;
    EXPECT_THROW(kcSimFifo(quietCamera(), options), kcBadArgument);

    // Only the chosen properties are offered.
    options.numTaps = 1;
    options.exposureProp = false;
    kcSimFifo partial(quietCamera(), options);
    EXPECT_THROW(partial.properties().exposureProp(), kcPropertyNotSupported);
}
