// apps/colorbal/main.cpp
// Entry point of the colorbal program; everything else is in colorbal_core.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "apps/colorbal/colorbal_main.h"
#include "apps/colorbal/interrupt.h"
#ifdef CLBL_WITH_GENICAM
#include "apps/colorbal/genicam_commands.h"
#endif

int main(int argc, char** argv) {
    // SIGINT, SIGTERM and SIGHUP are recorded, not fatal, until the program
    // has unwound: cameras are put back and temporaries removed first.
    const kcInterruptHandlers interruptHandlers;
    const std::vector<std::string> args(argv + 1, argv + argc);
#ifdef CLBL_WITH_GENICAM
    const kcCameraCommands cameras = kfGenICamCommands();
    const kcCameraCommands* cameraCommands = &cameras;
#else
    const kcCameraCommands* cameraCommands = nullptr;
#endif
    return kfColorbalMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1, cameraCommands);
}
