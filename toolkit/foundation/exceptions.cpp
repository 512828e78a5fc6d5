// toolkit/foundation/exceptions.cpp
#include "toolkit/foundation/exceptions.h"

#include <sstream>
#include <string>
#include <type_traits>

#include "toolkit/foundation/archive.h"
#include "toolkit/foundation/text.h"

kcException::~kcException() = default;

std::wstring kcException::message() const {
    std::wostringstream out;
    message_(out);
    return out.str();
}

const char* kcException::what() const noexcept { return what_.empty() ? "toolkit exception" : what_.c_str(); }

void kcException::message_(std::wostream& /*out*/) const {}

void kcException::updateWhat() {
    try {
        what_ = kfToUtf8(message());
    } catch (...) {
        what_.clear();  // what() falls back to a fixed text
    }
}

kcExceptionWithString::kcExceptionWithString(const std::wstring& message) : text_(message) { updateWhat(); }

kcExceptionWithString::kcExceptionWithString(const kcExceptionWithString& other) = default;

kcExceptionWithString& kcExceptionWithString::operator=(const kcExceptionWithString& other) = default;

kcExceptionWithString::~kcExceptionWithString() = default;

void kcExceptionWithString::message_(std::wostream& out) const { out << text_; }

void kcExceptionWithString::dispatchSerialize(kcArchive& ar) {
    if (haveVisited(ar, this, sizeof(kcExceptionWithString))) return;
    unsigned char version = 0;
    ar || version;
    if (version != 0) throw kcArchive::UnknownVersion(std::string("kcExceptionWithString"), 0);
    std::wstring text = text_;
    ar || text;
    if (ar.isLoading()) {
        text_ = std::move(text);
        updateWhat();
    }
    kcException::dispatchSerialize(ar);
    setVisited(ar, this, sizeof(kcExceptionWithString));
}

void kcExceptionWithString::reInit() {
    text_.clear();
    updateWhat();
}

void kfThrowExceptionOnFailure(long status) {
    if (status != 0) throw kcStatusFailure(L"operation failed with status " + std::to_wstring(status));
}
