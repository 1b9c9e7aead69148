#pragma once

#include <cstdint>
#include <string>

namespace plasmabox {

// Text-to-number conversions with the semantics of the standard library's
// stoi / stod / stold: leading white space is skipped, the longest valid prefix
// is converted and trailing text is ignored ("12abc" gives 12).
//
// Failures throw std::invalid_argument ("invalid stoi argument", ...) when no
// character could be converted, and std::out_of_range ("stoi argument out of
// range", ...) when the value does not fit, underflow included. Callers add
// where the text came from before the message reaches the user.

int32_t convertInt(const std::string& text);
double convertDouble(const std::string& text);
long double convertLongDouble(const std::string& text);

}  // namespace plasmabox
