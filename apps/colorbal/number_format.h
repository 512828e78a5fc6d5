// apps/colorbal/number_format.h
// How the program writes numbers for people: settings with units and
// sensible digits for reports, and values as given for messages. JSON
// keeps exact values (kfExactNumber).
#pragma once

#include <string>

// A value exactly, with the fewest digits that read back as it: in plain
// decimals from 1e-6 to 1e9 ("0.0001", "0.000001"), in scientific notation
// beyond ("1e-07"); "inf", "-inf" or "nan" when not finite.
std::string kfDisplayNumber(double value);

// An exposure given in seconds, in milliseconds: "135.99 ms"; below 1 ms
// three significant digits ("0.00439 ms"); "0 ms" for 0.
std::string kfExposureText(double seconds);

// Contrast or brightness to 4 decimals: "0.1620".
std::string kfPlaneSettingText(double value);

// A fraction as a percentage to 1 decimal: "97.3 %".
std::string kfPercentText(double fraction);

// A duration in seconds to 2 decimals: "0.41 s".
std::string kfSecondsText(double seconds);
