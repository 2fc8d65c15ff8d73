#pragma once

#include <string>

namespace pellquin {

// Converts a version text such as "2.20" with the user's decimal separator: blanks around
// it, an optional sign, digits with at most one separator, an optional exponent. False, with
// *value untouched, for anything else (a point where the user's separator is a comma, too).
bool ConvertVersionText(const std::string& text, char decimalSeparator, double* value);

}  // namespace pellquin
