#include "tools/amf/textNumbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace plasmabox {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

bool parseFiniteDouble(std::string_view text, double& value) {
  text = trimBlanks(text);
  // from_chars rejects a leading '+', which some exporters write; "+-1" stays invalid.
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  if (text.empty()) return false;
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (end != text.data() + text.size()) return false;
  if (ec == std::errc::result_out_of_range) {
    // Underflow gives a tiny number we may round to zero; overflow is refused.
    // from_chars leaves v unchanged on a range error, so look at the exponent sign.
    const bool negative_exponent = text.find("e-") != std::string_view::npos ||
                                   text.find("E-") != std::string_view::npos;
    if (!negative_exponent) return false;
    v = (text.front() == '-') ? -0.0 : 0.0;
  } else if (ec != std::errc()) {
    return false;
  }
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

bool parseIndex(std::string_view text, std::uint64_t& value) {
  text = trimBlanks(text);
  if (text.empty()) return false;
  std::uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (v > std::uint64_t(std::numeric_limits<std::int64_t>::max())) return false;
  value = v;
  return true;
}

std::string quoteForMessage(std::string_view text) {
  std::string q;
  q.reserve(48);
  q.push_back('\'');
  for (const char c : text.substr(0, 40)) q.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
  if (text.size() > 40) q.append("...");
  q.push_back('\'');
  return q;
}

}  // namespace plasmabox
