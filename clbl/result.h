// clbl/result.h
// kcColorBalanceResult: the settings a balancing run found, whether the
// FIFO's LUT was the identity at its end, and the last acquisition's report.
#pragma once

#include "clbl/export.h"
#include "toolkit/acq/acquire_info.h"
#include "toolkit/foundation/archive.h"
#include "toolkit/foundation/ptr_handle.h"

class kcAcqFifo;

class CLBL_EXPORT kcColorBalanceResult {
public:
    kcColorBalanceResult() = default;

    double exposure() const { return exposure_; }
    double contrast() const { return contrast_; }
    double brightness() const { return brightness_; }
    bool positive8BitLut() const { return positive8BitLut_; }
    kcAcquireInfo acqInfo() const { return acqInfo_; }

    // Stored as given, without any check.
    void exposure(double value) { exposure_ = value; }
    void contrast(double value) { contrast_ = value; }
    void brightness(double value) { brightness_ = value; }
    void positive8BitLut(bool value) { positive8BitLut_ = value; }
    void acqInfo(const kcAcquireInfo& value) { acqInfo_ = value; }

    // Exact comparison of the three settings, then the LUT flag; acqInfo
    // takes no part.
    bool operator==(const kcColorBalanceResult& other) const;

    // Writes the exposure, contrast and brightness to the FIFO (all taps),
    // and the positive LUT when positive8BitLut() is true. Triggering and
    // the trigger model are left as they are.
    void setFifoProperties(kcPtrHandle<kcAcqFifo> fifo) const;

private:
    friend CLBL_EXPORT kcArchive& operator||(kcArchive& ar, kcColorBalanceResult& result);

    double exposure_ = 0.0;
    double contrast_ = 0.0;
    double brightness_ = 0.0;
    bool positive8BitLut_ = false;
    kcAcquireInfo acqInfo_;
};

// Stores or loads the result (record version 0). kcArchive::UnknownVersion
// for a newer version, with the record unchanged.
CLBL_EXPORT kcArchive& operator||(kcArchive& ar, kcColorBalanceResult& result);
