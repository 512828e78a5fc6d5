// tests/consumer/example.cpp
// The README's tour of the API, as a program built against the installed
// package: a rejected parameter, the step-by-step tool loop, the one-call
// driver, and storing a result.
#include <clbl/colorbal.h>
#include <toolkit/sim/sim_fifo.h>

#include <cstdio>

int main() {
    kcColorBalanceParams params;  // all axes, exposure 1e-6 .. 0.3
    try {
        params.minExposureStepSize(-1.0);
        return 1;  // not reached: a negative step is rejected
    } catch (const kcColorBalanceDefs::BadParams& e) {
        std::printf("rejected: %s\n", e.what());
    }

    // Step by step: the caller acquires each image at the settings the tool
    // asks for (here from the simulated camera).
    kcSimCamera camera(kcSimScene::builtIn("chart", 320, 240), 1);
    kcColorBalanceTool tool;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings(1e-6, 0.0, 0.0));
    int images = 0;
    while (!tool.done()) {
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(settings)));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
        ++images;
    }
    const kcColorCameraSettings best = tool.result();
    std::printf("tool: %d images, exposure %g, contrast %g, brightness %g\n", images, best.exposure(),
                best.contrast(), best.brightness());

    // In one call, against an acquisition FIFO; the FIFO is handed back with
    // the properties it had.
    kcPtrHandle<kcAcqFifo> fifo(new kcSimFifo(kcSimCamera(kcSimScene::builtIn("chart", 320, 240), 1)));
    kcColorBalanceResult result;
    kfColorBalance(fifo, params, result, nullptr, 0);
    std::printf("driver: exposure %g, contrast %g, brightness %g, identity LUT %d\n", result.exposure(),
                result.contrast(), result.brightness(), result.positive8BitLut() ? 1 : 0);
    result.setFifoProperties(fifo);  // apply it later, to any FIFO

    // Results and parameters go into archives.
    kcArchive out = kcArchive::storing();
    out || result;
    kcArchive in = kcArchive::loading(out.bytes());
    kcColorBalanceResult loaded;
    in || loaded;
    return loaded == result && tool.done() ? 0 : 1;
}
