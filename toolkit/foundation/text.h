// toolkit/foundation/text.h
// Conversions between the toolkit's wide strings and byte strings: UTF-8
// both ways, for messages that quote file names, camera texts or bytes read
// from a file.
#pragma once

#include <string>

#include "toolkit/foundation/export.h"

// The wide form of UTF-8 text. A byte that does not start or continue a
// well-formed sequence (including overlong forms and surrogates) becomes
// U+FFFD, so any byte string gives valid text and ASCII stays as it is.
KC_EXPORT std::wstring kfWiden(const std::string& utf8);

// The UTF-8 form of a wide string of code points; a value that is no code
// point (a surrogate, a negative value or one above U+10FFFF) becomes
// U+FFFD.
KC_EXPORT std::string kfToUtf8(const std::wstring& text);
