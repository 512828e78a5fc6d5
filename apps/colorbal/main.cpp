// apps/colorbal/main.cpp
// Entry point of the colorbal program; everything else is in colorbal_core.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "apps/colorbal/colorbal_main.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kfColorbalMain(args, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
