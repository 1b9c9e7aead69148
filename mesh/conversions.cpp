#include "mesh/conversions.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

namespace plasmabox {

namespace {

// Runs one strtoX conversion the way the standard library's stoX does, keeping
// errno as the caller left it.
template <class Result, class Convert>
Result convertWith(const std::string& text, const char* name, Convert convert) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const int saved_errno = errno;
  errno = 0;
  const auto value = convert(begin, &end);
  const bool range_error = errno == ERANGE;
  errno = saved_errno;
  if (end == begin) throw std::invalid_argument(std::string("invalid ") + name + " argument");
  if (range_error) throw std::out_of_range(std::string(name) + " argument out of range");
  return static_cast<Result>(value);
}

}  // namespace

int32_t convertInt(const std::string& text) {
  const long value =
      convertWith<long>(text, "stoi", [](const char* s, char** e) { return std::strtol(s, e, 10); });
  if (value < INT32_MIN || value > INT32_MAX) throw std::out_of_range("stoi argument out of range");
  return static_cast<int32_t>(value);
}

double convertDouble(const std::string& text) {
  return convertWith<double>(text, "stod", [](const char* s, char** e) { return std::strtod(s, e); });
}

long double convertLongDouble(const std::string& text) {
  return convertWith<long double>(text, "stold",
                                  [](const char* s, char** e) { return std::strtold(s, e); });
}

}  // namespace plasmabox
