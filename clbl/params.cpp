// clbl/params.cpp
#include "clbl/params.h"

#include <cmath>
#include <string>

#include "clbl/defs.h"

namespace {
constexpr double kDefaultStepSize = 0.0009765625;   // 2^-10: default contrast and brightness step
constexpr double kMaxStepSize = 0.5;                // largest contrast or brightness step accepted
constexpr double kDefaultExposureStart = 0.000001;  // start of the default exposure range
constexpr double kDefaultExposureEnd = 0.3;         // end of the default exposure range
constexpr unsigned char kParamsVersion = 1;         // version 1 added the contrast and brightness steps

// The conditions the validating setters check, written so that NaN fails.
bool validExposureStep(double v) { return v >= 0.0; }
bool validPlaneStep(double v) { return v >= 0.0 && v <= kMaxStepSize; }
}  // namespace

kcColorBalanceParams::kcColorBalanceParams()
    : isExposureEnabled_(true),
      isContrastEnabled_(true),
      isBrightnessEnabled_(true),
      minExposureStepSize_(0.0),
      minContrastStepSize_(kDefaultStepSize),
      minBrightnessStepSize_(kDefaultStepSize),
      exposureRange_(kDefaultExposureStart, kDefaultExposureEnd),
      usePositive8BitLut_(true) {}

void kcColorBalanceParams::exposureRange(const kcRange& range) {
    if (range == kcRange::EmptyRange()) throw kcColorBalanceDefs::BadParams(L"exposureRange == kcRange::EmptyRange()");
    exposureRange_ = range;
}

void kcColorBalanceParams::minExposureStepSize(double value) {
    if (!validExposureStep(value)) throw kcColorBalanceDefs::BadParams(L"minExposureStepSize < 0");
    minExposureStepSize_ = value;
}

void kcColorBalanceParams::minContrastStepSize(double value) {
    if (!validPlaneStep(value)) throw kcColorBalanceDefs::BadParams(L"minContrastStepSize < 0");
    minContrastStepSize_ = value;
}

void kcColorBalanceParams::minBrightnessStepSize(double value) {
    if (!validPlaneStep(value)) throw kcColorBalanceDefs::BadParams(L"minBrightnessStepSize < 0");
    minBrightnessStepSize_ = value;
}

bool kcColorBalanceParams::operator==(const kcColorBalanceParams& other) const {
    return isExposureEnabled_ == other.isExposureEnabled_ && isContrastEnabled_ == other.isContrastEnabled_ &&
           isBrightnessEnabled_ == other.isBrightnessEnabled_ && minExposureStepSize_ == other.minExposureStepSize_ &&
           exposureRange_ == other.exposureRange_ && usePositive8BitLut_ == other.usePositive8BitLut_ &&
           minContrastStepSize_ == other.minContrastStepSize_ && minBrightnessStepSize_ == other.minBrightnessStepSize_;
}

kcArchive& operator||(kcArchive& ar, kcColorBalanceParams& params) {
    unsigned char version = kParamsVersion;
    ar || version;
    if (version > kParamsVersion) throw kcArchive::UnknownVersion("clbl/colorbal", __LINE__);

    // Everything goes through locals and is assigned only once the whole
    // record has been read, so a failed load leaves the record unchanged.
    bool exposureEnabled = params.isExposureEnabled_;
    bool contrastEnabled = params.isContrastEnabled_;
    bool brightnessEnabled = params.isBrightnessEnabled_;
    double exposureStep = params.minExposureStepSize_;
    kcRange range = params.exposureRange_;
    bool positiveLut = params.usePositive8BitLut_;
    double contrastStep = params.minContrastStepSize_;
    double brightnessStep = params.minBrightnessStepSize_;

    ar || exposureEnabled || contrastEnabled || brightnessEnabled || exposureStep || range || positiveLut;
    if (version >= 1) {
        ar || contrastStep || brightnessStep;
    } else {
        // Version 0 records predate the two steps: they load with the defaults.
        contrastStep = kDefaultStepSize;
        brightnessStep = kDefaultStepSize;
    }
    if (!ar.isLoading()) return ar;

    // A loaded record is taken as it was stored: the setters' checks are
    // for callers, and the search copes with any values.
    params.isExposureEnabled_ = exposureEnabled;
    params.isContrastEnabled_ = contrastEnabled;
    params.isBrightnessEnabled_ = brightnessEnabled;
    params.minExposureStepSize_ = exposureStep;
    params.exposureRange_ = range;
    params.usePositive8BitLut_ = positiveLut;
    params.minContrastStepSize_ = contrastStep;
    params.minBrightnessStepSize_ = brightnessStep;
    return ar;
}
