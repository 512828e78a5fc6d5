// toolkit/diag/diag_object.cpp
#include "toolkit/diag/diag_object.h"

#include <string>

#include "toolkit/foundation/exceptions.h"

kcDiagRecord& kcDiagObject::newDiagRecord() { return records_.emplace_back(); }

kcDiagRecord& kcDiagObject::diagRecord(long index) {
    const kcDiagObject& self = *this;
    return const_cast<kcDiagRecord&>(self.diagRecord(index));
}

const kcDiagRecord& kcDiagObject::diagRecord(long index) const {
    if (index < 0 || index >= numRecords())
        throw kcBadArgument(L"diagnostics record index " + std::to_wstring(index) +
                            L" is out of range: the collector holds " + std::to_wstring(numRecords()) + L" records");
    return records_[static_cast<std::size_t>(index)];
}
