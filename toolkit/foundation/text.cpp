// toolkit/foundation/text.cpp
#include "toolkit/foundation/text.h"

#include <cstddef>
#include <type_traits>

namespace {
constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;
constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kLastSurrogate = 0xDFFF;

bool isCodePoint(char32_t c) { return c <= kLastCodePoint && (c < kFirstSurrogate || c > kLastSurrogate); }

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The code point of the sequence at text[i], with its length in bytes;
// U+FFFD over one byte when the sequence is not well formed.
char32_t decodeAt(const std::string& text, std::size_t i, std::size_t& length) {
    const auto lead = static_cast<unsigned char>(text[i]);
    length = 1;
    if (lead < 0x80) return lead;
    std::size_t extra = 0;
    char32_t c = 0;
    char32_t smallest = 0;  // below this the sequence is an overlong form
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, smallest = 0x10000;
    } else {
        return kReplacementCharacter;
    }
    if (text.size() - i <= extra) return kReplacementCharacter;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (!isContinuation(b)) return kReplacementCharacter;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < smallest || !isCodePoint(c)) return kReplacementCharacter;
    length = extra + 1;
    return c;
}

void appendUtf8(std::string& out, char32_t c) {
    if (!isCodePoint(c)) c = kReplacementCharacter;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::wstring kfWiden(const std::string& utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        out += static_cast<wchar_t>(decodeAt(utf8, i, length));
        i += length;
    }
    return out;
}

std::string kfToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    // A negative wchar_t becomes a value far above the last code point.
    for (wchar_t c : text) appendUtf8(out, static_cast<char32_t>(static_cast<std::make_unsigned_t<wchar_t>>(c)));
    return out;
}
