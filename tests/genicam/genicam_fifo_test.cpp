// tests/genicam/genicam_fifo_test.cpp
// kcGenICamFifo against the GigE Vision fake camera of aravis-tools on
// loopback: acquisition with set exposure and gain, pixel formats, the
// host LUT, the properties saver, a whole balancing run and a camera that
// goes away.
#include "toolkit/acq/genicam/genicam_fifo.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "clbl/driver.h"
#include "clbl/internal/fifo_handling.h"
#include "fake_gv_camera.h"
#include "toolkit/acq/acq_props.h"
#include "toolkit/acq/trigger_model.h"
#include "toolkit/foundation/histo_stats.h"

namespace {
// Small images, for quick tests.
constexpr long kWidth = 128;
constexpr long kHeight = 96;

// Trigger enable, trigger model, exposure and contrast as a FIFO reports them.
using CameraState = std::tuple<bool, const kcTriggerModel*, double, double>;
CameraState stateOf(kcGenICamFifo& fifo) {
    return {fifo.triggerEnable(), &fifo.triggerModel(), fifo.exposure(), fifo.contrast(kcGenICamFifo::eChannel0)};
}

class GenICamFifoOnFakeCamera : public genicam_test::FakeCameraTest {
protected:
    kcPtrHandle<kcGenICamFifo> open(const std::string& pixelFormat = "RGB8") {
        return kcPtrHandle<kcGenICamFifo>(new kcGenICamFifo(
            camera_->serial(), kcGenICamFifoOptions{.pixelFormat = pixelFormat, .width = kWidth, .height = kHeight}));
    }
};

}  // namespace

// Grey images at the set exposure and gain, then Bayer images as colour
// (the camera gets its pixel format back each time); the saver and a
// balancing run hand the camera back as found; a camera that goes away.
TEST_F(GenICamFifoOnFakeCamera, AcquiresInEachFormatSavesAndBalancesHandingTheCameraBackAndNamesItWhenLost) {
    const std::string found = kcGenICamFifo(camera_->serial()).pixelFormat();
    ASSERT_NE(found, "BayerRG8");
    kcPtrHandle<kcGenICamFifo> fifo = open("Mono8");
    EXPECT_FALSE(fifo->supportsBrightness() || fifo->hasCameraLut());
    kcAcquireInfo info;
    // The mean of one grey image taken at `contrast` (the fake camera's grey
    // images grow brighter with gain; its colour ones change hue instead).
    const auto meanAt = [&](double contrast) {
        bool failed = true;
        const auto image = kfAcquireWithSettings(fifo, kcColorCameraSettings(0.005, contrast, 0.0), info, failed);
        EXPECT_FALSE(failed) << "failure code " << info.failure().code();
        EXPECT_EQ(image->format(), eImageFormatGrey8);
        EXPECT_EQ(std::pair(image->get3PlanePelBuffer().width(), image->get3PlanePelBuffer().height()),
                  std::pair(kWidth, kHeight));
        std::vector<unsigned long> histogram;
        kfPelHistogram<unsigned char>(image->getGrey8PelBuffer(), histogram);
        return kcHistoStats(histogram, false).mean();
    };
    const double bright = meanAt(0.2);
    EXPECT_EQ(info.acquisitionNumber(), 1u);
    EXPECT_DOUBLE_EQ(fifo->exposure(), 0.005);
    EXPECT_DOUBLE_EQ(fifo->contrast(kcContrastBrightnessProp::eChannel0), 0.2);
    EXPECT_EQ(&fifo->triggerModel(), &kfFreeRunTrigger());
    EXPECT_LT(meanAt(0.0), bright);

    // Out-of-range values are clamped to the camera's bounds (exposure from
    // 10 us); the camera has no black level, so only a brightness of 0 can
    // be written.
    fifo->exposure(1e-9);
    EXPECT_DOUBLE_EQ(fifo->exposure(), 10e-6);
    fifo->setContrastEx(7.0, kcGenICamFifo::kAllTaps);
    EXPECT_DOUBLE_EQ(fifo->contrast(kcContrastBrightnessProp::eChannel0), 1.0);
    fifo->setBrightnessEx(0.0, kcGenICamFifo::kAllTaps);
    EXPECT_THROW(fifo->setBrightnessEx(0.5, kcGenICamFifo::kAllTaps), kcPropertyNotSupported);

    // Without a LUT on the camera the FIFO applies it to each image.
    std::array<unsigned char, kc8BitInputLutProp::kLutSize> constant{};
    constant.fill(7);
    fifo->inputLut(constant.data());
    EXPECT_EQ(meanAt(0.2), 7.0);
    fifo = kcPtrHandle<kcGenICamFifo>();
    {
        const kcPtrHandle<kcGenICamFifo> bayer = open("BayerRG8");
        bayer->triggerModel(kfManualTrigger());
        ASSERT_TRUE(bayer->start(0));
        const kcPtrHandle<kcAcqImage> image = bayer->completeAcq(kcAcqFifo::CompleteArgs());
        EXPECT_EQ(image->format(), eImageFormatPlanarRGB8);
        EXPECT_EQ(image->get3PlanePelBuffer().width(), kWidth);
    }
    EXPECT_EQ(kcGenICamFifo(camera_->serial()).pixelFormat(), found);

    // The saver, then a whole balancing run (the default search without
    // brightness, which the camera lacks: about a hundred images, 40 ms each).
    const CameraState before{true, &kfFreeRunTrigger(), 0.02, 0.3};
    {
        kcPtrHandle<kcGenICamFifo> fifo = open();
        kfApplySettingsToFifo(fifo, kcColorCameraSettings(0.02, 0.3, 0.0));
        fifo->triggerModel(kfFreeRunTrigger());
        kcFifoPropertiesSaver saver(fifo);
        fifo->triggerModel(kfManualTrigger());
        kfApplySettingsToFifo(fifo, kcColorCameraSettings(0.001, 0.9, 0.0));
        ASSERT_TRUE(fifo->start(0));
        fifo->completeAcq(kcAcqFifo::CompleteArgs());
        ASSERT_NE(stateOf(*fifo), before);
        saver.restore();
        EXPECT_EQ(stateOf(*fifo), before);

        kcColorBalanceParams params;
        params.isBrightnessEnabled(false);
        kcColorBalanceResult result;
        kfColorBalance(fifo, params, result, nullptr, 0);
        EXPECT_FALSE(result.acqInfo().failure().isFailure()) << result.acqInfo().failure().code();
        EXPECT_GT(result.acqInfo().acquisitionNumber(), 0u);
        EXPECT_GE(result.exposure(), params.exposureRange().start());
        EXPECT_LE(result.exposure(), params.exposureRange().end());
        EXPECT_EQ(result.brightness(), 0.0);
        EXPECT_EQ(stateOf(*fifo), before);
    }
    // The camera itself holds them: a new FIFO on it finds them.
    fifo = open();
    EXPECT_EQ(stateOf(*fifo), before);

    // A camera that goes away is named in the error and marked lost: every
    // later call fails at once instead of waiting for it again.
    camera_->stop();
    const std::string named = "camera \"" + fifo->camera().id + "\"";
    for (const char* says : {"failed", "no longer answers"}) {
        try {
            fifo->exposure();
            ADD_FAILURE() << "a stopped camera answered";
        } catch (const kcGenICamError& e) {
            const std::string what = e.what();
            EXPECT_TRUE(what.find(named) != std::string::npos && what.find(says) != std::string::npos) << what;
        }
        EXPECT_TRUE(fifo->isLost());
    }
}

// Refusals and failure texts, then a camera that loses packets (an unknown
// camera is refused through the program).
TEST(GenICamFifo, RefusesBadOptionsAndAsksAgainForFramesThatLostPackets) {
    EXPECT_THROW(kcGenICamFifo("x", {.timeout = 0.0, .pixelFormat = "RGB8"}), kcBadArgument);
    EXPECT_THROW(kcGenICamFifo("x", {.pixelFormat = "Mono16"}), kcBadArgument);
    EXPECT_EQ(kfGenICamFailureText(102), "frame incomplete: packets were lost or came too late (code 102)");
    EXPECT_EQ(kfGenICamFailureText(7), "failure code 7");

    // A camera that drops 1 % of its packets and cannot resend them: a frame
    // that comes incomplete is asked for again.
    if (genicam_test::FakeGvCamera::program().empty()) GTEST_SKIP() << "arv-fake-gv-camera-0.8 is not installed";
    genicam_test::FakeGvCamera lossy(10);
    kcPtrHandle<kcGenICamFifo> fifo(new kcGenICamFifo(lossy.serial()));
    fifo->triggerModel(kfManualTrigger());
    kcAcquireInfo info;
    bool failed = true;
    for (int i = 1; i <= 20; ++i) {
        kfAcquireWithSettings(fifo, kcColorCameraSettings(0.005, 0.0, 0.0), info, failed);
        EXPECT_FALSE(failed) << i << ": " << kfGenICamFailureText(info.failure().code());
    }
}
