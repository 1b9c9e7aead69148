#pragma once
// STL files of given triangle corners, as the converter's tests feed them.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/amf_boxes.h"

namespace plasmabox {

inline std::vector<Vec3> asFloats(std::vector<Vec3> corners) {  // as a binary STL holds them
  for (Vec3& v : corners) v = {double(float(v.x)), double(float(v.y)), double(float(v.z))};
  return corners;
}

// ASCII STL text, numbers with 17 digits so that they read back exactly.
inline std::string asciiStl(const std::vector<Vec3>& corners, const std::string& solid_name = "part") {
  std::string s = "solid " + solid_name + "\n";
  char line[160];
  for (std::size_t c = 0; c < corners.size(); ++c) {
    if (c % 3 == 0) s += "  facet normal 0 0 0\n    outer loop\n";
    std::snprintf(line, sizeof line, "      vertex %.17g %.17g %.17g\n", corners[c].x, corners[c].y, corners[c].z);
    s += line;
    if (c % 3 == 2) s += "    endloop\n  endfacet\n";
  }
  return s + "endsolid " + solid_name + "\n";
}

// Binary STL bytes (little-endian) with the given 80-byte header text.
inline std::string binaryStl(const std::vector<Vec3>& corners, const std::string& header = "") {
  std::string s = header.substr(0, 80) + std::string(80 - std::min<std::size_t>(header.size(), 80), '\0');
  const auto put32 = [&s](std::uint32_t u) {
    for (int b = 0; b < 4; ++b) s.push_back(char((u >> (8 * b)) & 0xFF));
  };
  const auto putFloat = [&put32](double v) {
    std::uint32_t u;
    const float f = float(v);
    put32((std::memcpy(&u, &f, 4), u));
  };
  put32(std::uint32_t(corners.size() / 3));
  for (std::size_t c = 0; c < corners.size(); ++c) {
    if (c % 3 == 0) put32(0), put32(0), put32(0);  // normal, unused
    putFloat(corners[c].x), putFloat(corners[c].y), putFloat(corners[c].z);
    if (c % 3 == 2) s += std::string(2, '\0');  // attribute byte count
  }
  return s;
}

}  // namespace plasmabox
