// toolkit/acq/genicam/genicam_cameras.h
// The GenICam cameras (GigE Vision, USB3 Vision) that can be reached from
// this machine, and how a camera name is matched against them.
#pragma once

#include <string>
#include <vector>

#include "toolkit/foundation/export.h"

// One camera found on the networks and buses of this machine.
struct KC_EXPORT kcGenICamCameraInfo {
    std::string id;  // unique name of the camera, e.g. "Vendor-Model-Serial"
    std::string vendor;
    std::string model;
    std::string serial;
    std::string address;   // network address or bus location
    std::string protocol;  // "GigEVision", "USB3Vision", ...

    // True when `name` is the camera's id, serial number or address.
    bool isNamed(const std::string& name) const;
};

// The name that asks for the first camera found.
inline constexpr const char* kGenICamFirstCamera = "genicam";

// Searches for cameras (this takes about a second: network cameras are
// given time to answer) and lists them in the order found.
KC_EXPORT std::vector<kcGenICamCameraInfo> kfGenICamCameras();
