// clbl/result.cpp
#include "clbl/result.h"

namespace {
constexpr unsigned char kResultVersion = 0;  // current layout of a stored kcColorBalanceResult
}

bool kcColorBalanceResult::operator==(const kcColorBalanceResult& other) const {
    return exposure_ == other.exposure_ && contrast_ == other.contrast_ && brightness_ == other.brightness_ &&
           positive8BitLut_ == other.positive8BitLut_;
}

kcArchive& operator||(kcArchive& ar, kcColorBalanceResult& result) {
    unsigned char version = kResultVersion;
    ar || version;
    if (version > kResultVersion) throw kcArchive::UnknownVersion("clbl/colorbal", __LINE__);

    // Read into locals so that a failed load leaves the record unchanged.
    double exposure = result.exposure_;
    double contrast = result.contrast_;
    double brightness = result.brightness_;
    bool positiveLut = result.positive8BitLut_;
    kcAcquireInfo info = result.acqInfo_;
    ar || exposure || contrast || brightness || positiveLut || info;
    if (ar.isLoading()) {
        result.exposure_ = exposure;
        result.contrast_ = contrast;
        result.brightness_ = brightness;
        result.positive8BitLut_ = positiveLut;
        result.acqInfo_ = info;
    }
    return ar;
}
