// toolkit/acq/genicam/genicam_cameras.cpp
#include "toolkit/acq/genicam/genicam_cameras.h"

#include <arv.h>

namespace {
std::string text(const char* value) { return value != nullptr ? std::string(value) : std::string(); }
}  // namespace

bool kcGenICamCameraInfo::isNamed(const std::string& name) const {
    return !name.empty() && (name == id || name == serial || name == address);
}

std::vector<kcGenICamCameraInfo> kfGenICamCameras() {
    arv_update_device_list();
    std::vector<kcGenICamCameraInfo> cameras;
    const unsigned count = arv_get_n_devices();
    for (unsigned i = 0; i < count; ++i) {
        kcGenICamCameraInfo info;
        info.id = text(arv_get_device_id(i));
        info.vendor = text(arv_get_device_vendor(i));
        info.model = text(arv_get_device_model(i));
        info.serial = text(arv_get_device_serial_nbr(i));
        info.address = text(arv_get_device_address(i));
        info.protocol = text(arv_get_device_protocol(i));
        cameras.push_back(std::move(info));
    }
    return cameras;
}
