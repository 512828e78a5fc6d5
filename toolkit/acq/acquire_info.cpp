// toolkit/acq/acquire_info.cpp
#include "toolkit/acq/acquire_info.h"

#include <string>

#include "toolkit/foundation/archive.h"

namespace {
constexpr unsigned char kAcquireInfoVersion = 0;  // current layout of a stored kcAcquireInfo
}

kcArchive& operator||(kcArchive& ar, kcAcqFailure& failure) {
    long code = failure.code();
    ar || code;
    if (ar.isLoading()) failure = kcAcqFailure(code);
    return ar;
}

kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info) {
    unsigned char version = kAcquireInfoVersion;
    ar || version;
    if (version > kAcquireInfoVersion)
        throw kcArchive::UnknownVersion(std::string("kcAcquireInfo"), kAcquireInfoVersion);
    // Read into locals so that a failed load leaves the target as it was.
    kcAcqFailure failure = info.failure_;
    unsigned long number = info.acquisitionNumber_;
    double stamp = info.timeStamp_;
    ar || failure || number || stamp;
    if (ar.isLoading()) {
        info.failure_ = failure;
        info.acquisitionNumber_ = number;
        info.timeStamp_ = stamp;
    }
    return ar;
}
