#pragma once

#include <string>
#include <string_view>

namespace plasmabox {

// s with the five XML special characters replaced by entities, for element
// text and attribute values (names of arrays, objects and files).
inline std::string xmlEscaped(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (const char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace plasmabox
