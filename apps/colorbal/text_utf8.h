// apps/colorbal/text_utf8.h
// Text helpers of the program: wide strings to UTF-8, and escaping for
// XML/HTML and JSON.
#pragma once

#include <string>

// UTF-8 of a wide string of code points; a value that is no code point
// (a surrogate or above U+10FFFF) becomes U+FFFD.
std::string kfToUtf8(const std::wstring& text);

// Text safe inside an XML or HTML element or a quoted attribute.
std::string kfEscapeXml(const std::string& text);

// The body of a JSON string (without the quotes).
std::string kfEscapeJson(const std::string& text);

// The shortest decimal form that reads back as exactly `value`; "null" for
// a value that is not finite (JSON has no NaN or infinity).
std::string kfExactNumber(double value);
