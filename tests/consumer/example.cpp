// tests/consumer/example.cpp
// The README's tour of the API, as a program built against the installed
// package: a rejected parameter, the step-by-step tool loop, the one-call
// driver, and a result stored as the program stores it and read back.
#include <clbl/colorbal.h>
#include <toolkit/sim/sim_fifo.h>

#include <cstdio>

int main() {
    kcColorBalanceParams params;  // all axes, exposure 1e-6 .. 0.3
    try {
        params.minExposureStepSize(-1.0);
        return 1;  // not reached: a negative step is rejected
    } catch (const kcColorBalanceDefs::BadParams&) {
    }

    // Step by step: each image is acquired at the settings the tool asks
    // for (here rendered by the simulated camera).
    kcSimCamera camera(kcSimScene::builtIn("chart", 320, 240), 1);
    kcColorBalanceTool tool;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings(1e-6, 0.0, 0.0));
    while (!tool.done()) {
        kcPtrHandle<kcAcqImage> image(new kcAcqImage(camera.render(settings)));
        settings = tool.nextSettingsFromImages(image, nullptr, 0);
    }

    // In one call, against an acquisition FIFO, which is handed back with
    // the properties it had; the result can be applied to it later.
    kcPtrHandle<kcAcqFifo> fifo(new kcSimFifo(std::move(camera)));
    kcColorBalanceResult result;
    kfColorBalance(fifo, params, result, nullptr, 0);
    result.setFifoProperties(fifo);

    std::string tag = "colorbal-result", loadedTag;
    kcArchive out = kcArchive::storing();
    out || tag || result;
    kcArchive in = kcArchive::loading(out.bytes());
    kcColorBalanceResult loaded;
    in || loadedTag || loaded;
    std::printf("tool: exposure %g; driver: exposure %g, contrast %g, brightness %g\n", tool.result().exposure(),
                result.exposure(), result.contrast(), result.brightness());
    return loaded == result && loadedTag == tag && fifo->properties().exposureProp().exposure() == result.exposure()
               ? 0
               : 1;
}
