// apps/colorbal/text_utf8.h
// Text helpers of the program: escaping for XML/HTML and JSON, exact
// numbers (wide strings to UTF-8: kfToUtf8 of the toolkit).
#pragma once

#include <string>

#include "toolkit/foundation/text.h"

// Text safe inside an XML or HTML element or a quoted attribute.
std::string kfEscapeXml(const std::string& text);

// The body of a JSON string (without the quotes).
std::string kfEscapeJson(const std::string& text);

// The shortest decimal form that reads back as exactly `value`; "null" for
// a value that is not finite (JSON has no NaN or infinity).
std::string kfExactNumber(double value);
