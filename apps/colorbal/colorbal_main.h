// apps/colorbal/colorbal_main.h
// The colorbal program behind main(): sub-command dispatch, and the
// mapping of failures to messages and exit statuses.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "apps/colorbal/camera_commands.h"

// Runs the program with `args` (argv without the program name): output to
// `out`, messages and progress to `err`. `errIsTerminal` allows the
// progress line. Returns the exit status: 0 success, 1 a run that failed,
// 2 bad usage or bad input, 128 + N a run stopped by signal N (see
// interrupt.h). With `cameras`, the program also has the `cameras` and
// `apply` commands and `balance --camera NAME [--apply]`.
int kfColorbalMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal,
                   const kcCameraCommands* cameras = nullptr);
