#pragma once
// Axis-aligned boxes as the tests write them: triangle corners and AMF documents.

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

struct NamedBox {
  std::string name;
  Vec3 lo, hi;  // m
};

// An AMF document in metres with one closed object per box, in order (each corner its own vertex).
inline std::string boxesAmf(const std::vector<NamedBox>& boxes) {
  std::string amf = "<?xml version=\"1.0\"?>\n<amf unit=\"meter\">\n";
  for (const NamedBox& b : boxes) {
    amf += "<object><metadata type=\"name\">" + b.name + "</metadata><mesh><vertices>";
    std::string triangles;
    int n = 0;
    for (const Vec3& v : boxCorners(b.lo, b.hi)) {
      amf += "<vertex><coordinates><x>" + std::to_string(v.x) + "</x><y>" + std::to_string(v.y) + "</y><z>" +
             std::to_string(v.z) + "</z></coordinates></vertex>";
      if (n % 3 == 0)
        triangles += "<triangle><v1>" + std::to_string(n) + "</v1><v2>" + std::to_string(n + 1) + "</v2><v3>" +
                     std::to_string(n + 2) + "</v3></triangle>";
      ++n;
    }
    amf += "</vertices><volume>" + triangles + "</volume></mesh></object>\n";
  }
  return amf + "</amf>\n";
}

}  // namespace plasmabox
