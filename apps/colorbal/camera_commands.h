// apps/colorbal/camera_commands.h
// The hook through which a camera backend adds `colorbal cameras` and
// `colorbal balance --camera NAME` and `colorbal apply FILE --camera NAME`
// to the program; the program itself does not depend on any camera library.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "apps/colorbal/options.h"

struct kcCameraCommands {
    // Lists the cameras found on `out`; returns the exit status.
    std::function<int(std::ostream& out, std::ostream& err)> list;
    // Balances the camera called `name` with the run's parameters and
    // outputs (options.size, when given, is the camera's image size for the
    // run; options.apply puts the result on the camera after a successful
    // search). Returns the exit status like kfRunBalance and throws the
    // same kcUsageError and kcRunError.
    std::function<int(const std::string& name, const kcBalanceOptions& options, std::ostream& out, std::ostream& err,
                      bool showProgress)>
        balance;
    // Puts the result stored in `file` on the camera called `name` and
    // prints what the camera holds then (as JSON with `json`). kcUsageError
    // for a file that is not a result; kcRunError when the camera cannot be
    // opened or refuses the settings (it is then put back as found).
    std::function<int(const std::string& file, const std::string& name, bool json, std::ostream& out,
                      std::ostream& err)>
        apply;
};
