#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace plasmabox {

// Small text helpers shared by the STL and AMF readers. They never throw and
// never read outside the view, so the readers can be fed arbitrary bytes.

// True for the ASCII blanks: space, tab, new line, carriage return, form feed, vertical tab.
bool isBlank(char c);

// `text` without leading and trailing blanks.
std::string_view trimBlanks(std::string_view text);

// True when a and b are equal ignoring ASCII case.
bool equalsNoCase(std::string_view a, std::string_view b);

// Parses the whole of `text` (blanks around it allowed, an optional leading '+')
// as a decimal floating-point number. Returns false, leaving `value` unchanged,
// when the text is empty, has anything after the number, or the number is not
// finite (inf, nan, or overflow). Numbers too small for a double round to zero.
bool parseFiniteDouble(std::string_view text, double& value);

// Parses the whole of `text` (blanks around it allowed) as a non-negative
// decimal integer. Returns false when it is not one or exceeds 2^63 - 1.
bool parseIndex(std::string_view text, std::uint64_t& value);

// `text` in single quotes for an error message, cut after 40 characters so
// that a huge or binary text cannot flood the terminal ("" gives "''").
std::string quoteForMessage(std::string_view text);

}  // namespace plasmabox
