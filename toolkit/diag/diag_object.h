// toolkit/diag/diag_object.h
// kcDiagObject: a collector of diagnostics records, appended in order.
#pragma once

#include <deque>

#include "toolkit/diag/diag_record.h"
#include "toolkit/foundation/export.h"

class KC_EXPORT kcDiagObject {
public:
    kcDiagObject() = default;

    // Appends an empty record and returns it. References to records stay
    // valid while the collector lives (records are never moved).
    kcDiagRecord& newDiagRecord();
    long numRecords() const { return static_cast<long>(records_.size()); }
    // The record at `index`; kcBadArgument outside 0..numRecords()-1.
    kcDiagRecord& diagRecord(long index);
    const kcDiagRecord& diagRecord(long index) const;

private:
    std::deque<kcDiagRecord> records_;
};
