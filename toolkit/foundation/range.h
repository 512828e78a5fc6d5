// toolkit/foundation/range.h
// kcRange: a closed interval of doubles, with one distinguished empty range.
#pragma once

#include "toolkit/foundation/export.h"

class kcArchive;

class KC_EXPORT kcRange {
public:
    // The interval [0, 0].
    kcRange() = default;
    // The interval [start, end]; no order between the two is enforced.
    kcRange(double start, double end);

    // The distinguished empty range; it equals only itself.
    static kcRange EmptyRange();

    double start() const { return start_; }
    double end() const { return end_; }
    bool isEmpty() const { return empty_; }

    // Exact comparison: both empty, or both non-empty with equal ends.
    bool operator==(const kcRange& other) const;

private:
    friend KC_EXPORT kcArchive& operator||(kcArchive& ar, kcRange& range);

    double start_ = 0.0;
    double end_ = 0.0;
    bool empty_ = false;
};

// Stores or loads a range (empty flag, start, end).
KC_EXPORT kcArchive& operator||(kcArchive& ar, kcRange& range);
