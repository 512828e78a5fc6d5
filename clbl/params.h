// clbl/params.h
// kcColorBalanceParams: what a colour-balance search may change, the steps
// it rounds to, the exposure range it searches and the LUT choice.
#pragma once

#include "clbl/export.h"
#include "toolkit/foundation/archive.h"
#include "toolkit/foundation/range.h"

class CLBL_EXPORT kcColorBalanceParams {
public:
    // Defaults: all three axes enabled, exposure step 0 (no rounding),
    // contrast and brightness steps 2^-10, exposure range [1e-6, 0.3],
    // positive LUT used.
    kcColorBalanceParams();

    bool isExposureEnabled() const { return isExposureEnabled_; }
    bool isContrastEnabled() const { return isContrastEnabled_; }
    bool isBrightnessEnabled() const { return isBrightnessEnabled_; }
    double minExposureStepSize() const { return minExposureStepSize_; }
    double minContrastStepSize() const { return minContrastStepSize_; }
    double minBrightnessStepSize() const { return minBrightnessStepSize_; }
    kcRange exposureRange() const { return exposureRange_; }
    bool usePositive8BitLut() const { return usePositive8BitLut_; }

    void isExposureEnabled(bool value) { isExposureEnabled_ = value; }
    void isContrastEnabled(bool value) { isContrastEnabled_ = value; }
    void isBrightnessEnabled(bool value) { isBrightnessEnabled_ = value; }
    void usePositive8BitLut(bool value) { usePositive8BitLut_ = value; }

    // Validating setters: a rejected value leaves the record unchanged and
    // throws kcColorBalanceDefs::BadParams.
    // Any range but kcRange::EmptyRange().
    void exposureRange(const kcRange& range);
    // value >= 0 (NaN rejected).
    void minExposureStepSize(double value);
    // 0 <= value <= 0.5 (NaN rejected).
    void minContrastStepSize(double value);
    void minBrightnessStepSize(double value);

    // Exact comparison of all eight fields.
    bool operator==(const kcColorBalanceParams& other) const;

private:
    friend CLBL_EXPORT kcArchive& operator||(kcArchive& ar, kcColorBalanceParams& params);

    bool isExposureEnabled_;
    bool isContrastEnabled_;
    bool isBrightnessEnabled_;
    double minExposureStepSize_;
    double minContrastStepSize_;
    double minBrightnessStepSize_;
    kcRange exposureRange_;
    bool usePositive8BitLut_;
};

// Stores or loads the parameters (current record version 1; version 0
// records, without the contrast and brightness steps, load with those steps
// at their defaults). kcArchive::UnknownVersion for a newer version, with
// the record unchanged.
CLBL_EXPORT kcArchive& operator||(kcArchive& ar, kcColorBalanceParams& params);
