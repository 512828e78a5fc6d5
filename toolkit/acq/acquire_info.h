// toolkit/acq/acquire_info.h
// What one acquisition reports: kcAcqFailure and kcAcquireInfo.
#pragma once

#include "toolkit/foundation/export.h"

class kcArchive;

// The failure record of an acquisition; code 0 means no failure.
class KC_EXPORT kcAcqFailure {
public:
    kcAcqFailure() = default;
    explicit kcAcqFailure(long code) : code_(code) {}

    long code() const { return code_; }
    bool isFailure() const { return code_ != 0; }
    bool operator==(const kcAcqFailure& o) const { return code_ == o.code_; }

private:
    long code_ = 0;
};

KC_EXPORT kcArchive& operator||(kcArchive& ar, kcAcqFailure& failure);

// Filled by a FIFO's completion operation.
class KC_EXPORT kcAcquireInfo {
public:
    kcAcquireInfo() = default;

    kcAcqFailure failure() const { return failure_; }
    void failure(const kcAcqFailure& value) { failure_ = value; }
    // Running number of the acquisition on its FIFO (0 before the first).
    unsigned long acquisitionNumber() const { return acquisitionNumber_; }
    void acquisitionNumber(unsigned long value) { acquisitionNumber_ = value; }
    // Time stamp of the acquisition, in seconds since its FIFO was created.
    double timeStamp() const { return timeStamp_; }
    void timeStamp(double value) { timeStamp_ = value; }

    bool operator==(const kcAcquireInfo& o) const {
        return failure_ == o.failure_ && acquisitionNumber_ == o.acquisitionNumber_ && timeStamp_ == o.timeStamp_;
    }

private:
    friend KC_EXPORT kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info);

    kcAcqFailure failure_;
    unsigned long acquisitionNumber_ = 0;
    double timeStamp_ = 0.0;
};

// Stores or loads a version byte (0), the failure code, the acquisition
// number and the time stamp.
KC_EXPORT kcArchive& operator||(kcArchive& ar, kcAcquireInfo& info);
