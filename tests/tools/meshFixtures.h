#pragma once


#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

// Corners (3 per triangle, outward normals) of the closed box lo..hi: 12 triangles, 8 distinct corners.
inline std::vector<Vec3> boxCorners(Vec3 lo, Vec3 hi) {
  const Vec3 p[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                     {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
  const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                            {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
  std::vector<Vec3> corners;
  for (const auto& f : faces)
    for (int c : f) corners.push_back(p[c]);
  return corners;
}

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

// A fresh folder under the system temp folder, removed with its contents at the end.
struct TempFolder {
  inline static int counter = 0;
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("plasmabox_amf_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
  TempFolder() { std::filesystem::create_directories(path); }
  ~TempFolder() { std::filesystem::remove_all(path); }
  TempFolder(const TempFolder&) = delete;
  std::string file(const std::string& name) const { return (path / name).string(); }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
    return file(name);
  }
};

}  // namespace plasmabox
