// tests/consumer/main.cpp
// Builds parameters, has a bad value rejected, and runs a tool to its end
// on a flat grey image: what the installed package must allow.
#include <clbl/colorbal.h>

#include <cstdio>
#include <cstring>

int main() {
    kcColorBalanceParams params;
    try {
        params.minExposureStepSize(-1.0);
        std::puts("consumer: a negative step was accepted");
        return 1;
    } catch (const kcColorBalanceDefs::BadParams& e) {
        if (e.errorNumber() != 0x10008A00) return 1;
    }

    kcColorBalanceTool tool;
    kcColorCameraSettings settings = tool.init(params, kcColorCameraSettings());
    kc3PlanePelBuffer image(64, 48);
    for (kcPelBuffer<unsigned char> plane : {image.plane0(), image.plane1(), image.plane2()})
        for (long y = 0; y < image.height(); ++y) std::memset(plane.pointToRow(y), 128, 64);
    int images = 0;
    while (!tool.done() && images < 100000) {
        kcPtrHandle<kcAcqImage> handle(new kcAcqImage(image));
        settings = tool.nextSettingsFromImages(handle, nullptr, 0);
        ++images;
    }
    std::printf("consumer: %d images, done %d, exposure %g\n", images, tool.done() ? 1 : 0, tool.result().exposure());
    return tool.done() ? 0 : 1;
}
