// apps/colorbal/genicam_commands.h
// `colorbal cameras` and `colorbal balance --camera NAME` on GenICam cameras.
#pragma once

#include <ostream>

#include "apps/colorbal/camera_commands.h"
#include "clbl/params.h"
#include "toolkit/acq/genicam/genicam_fifo.h"

// The commands, for kfColorbalMain.
kcCameraCommands kfGenICamCommands();

// `params` with every axis the camera cannot change switched off, each with
// a note on `err`. A camera without exposure control is searched at
// exposure 0 (the exposure range becomes [0, 0]), which it accepts.
kcColorBalanceParams kfParamsForCamera(const kcColorBalanceParams& params, const kcGenICamFifo& camera,
                                       std::ostream& err);
