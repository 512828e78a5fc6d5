// apps/colorbal/main.cpp
// Entry point of the colorbal program; everything else is in colorbal_core.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "apps/colorbal/colorbal_main.h"
#ifdef CLBL_WITH_GENICAM
#include "apps/colorbal/genicam_commands.h"
#endif

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef CLBL_WITH_GENICAM
    const kcCameraCommands cameras = kfGenICamCommands();
    const kcCameraCommands* cameraCommands = &cameras;
#else
    const kcCameraCommands* cameraCommands = nullptr;
#endif
    return kfColorbalMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1, cameraCommands);
}
