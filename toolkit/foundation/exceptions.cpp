// toolkit/foundation/exceptions.cpp
#include "toolkit/foundation/exceptions.h"

#include <sstream>
#include <string>
#include <type_traits>

#include "toolkit/foundation/archive.h"

namespace {
// UTF-8 form of a wide string, for what(); code points that are not valid
// Unicode become '?'.
std::string toUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        const auto c = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000 && (c < 0xD800 || c > 0xDFFF)) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c >= 0x10000 && c < 0x110000) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += '?';
        }
    }
    return out;
}
}  // namespace

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
        what_ = toUtf8(message());
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
