// toolkit/foundation/range.cpp
#include "toolkit/foundation/range.h"

#include "toolkit/foundation/archive.h"

kcRange::kcRange(double start, double end) : start_(start), end_(end) {}

kcRange kcRange::EmptyRange() {
    kcRange r;
    r.empty_ = true;
    return r;
}

bool kcRange::operator==(const kcRange& other) const {
    if (empty_ || other.empty_) return empty_ == other.empty_;
    return start_ == other.start_ && end_ == other.end_;
}

kcArchive& operator||(kcArchive& ar, kcRange& range) {
    bool empty = range.empty_;
    double start = range.start_;
    double end = range.end_;
    ar || empty || start || end;
    if (ar.isLoading()) {
        range.empty_ = empty;
        range.start_ = empty ? 0.0 : start;
        range.end_ = empty ? 0.0 : end;
    }
    return ar;
}
