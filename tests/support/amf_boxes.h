#pragma once
// Small AMF files written by the tests: named axis-aligned boxes.

#include <string>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

struct NamedBox {
  std::string name;
  Vec3 lo, hi;  // m
};

// An AMF document with one closed 12-triangle object per box, in order.
inline std::string boxesAmf(const std::vector<NamedBox>& boxes) {
  std::string amf = "<?xml version=\"1.0\"?>\n<amf unit=\"meter\">\n";
  const int faces[12][3] = {{0, 2, 1}, {0, 3, 2}, {4, 5, 6}, {4, 6, 7}, {0, 1, 5}, {0, 5, 4},
                            {1, 2, 6}, {1, 6, 5}, {2, 3, 7}, {2, 7, 6}, {3, 0, 4}, {3, 4, 7}};
  for (const NamedBox& b : boxes) {
    amf += "<object><metadata type=\"name\">" + b.name + "</metadata><mesh><vertices>";
    const Vec3 p[8] = {{b.lo.x, b.lo.y, b.lo.z}, {b.hi.x, b.lo.y, b.lo.z}, {b.hi.x, b.hi.y, b.lo.z},
                       {b.lo.x, b.hi.y, b.lo.z}, {b.lo.x, b.lo.y, b.hi.z}, {b.hi.x, b.lo.y, b.hi.z},
                       {b.hi.x, b.hi.y, b.hi.z}, {b.lo.x, b.hi.y, b.hi.z}};
    for (const Vec3& v : p)
      amf += "<vertex><coordinates><x>" + std::to_string(v.x) + "</x><y>" + std::to_string(v.y) + "</y><z>" +
             std::to_string(v.z) + "</z></coordinates></vertex>";
    amf += "</vertices><volume>";
    for (const auto& f : faces)
      amf += "<triangle><v1>" + std::to_string(f[0]) + "</v1><v2>" + std::to_string(f[1]) + "</v2><v3>" +
             std::to_string(f[2]) + "</v3></triangle>";
    amf += "</volume></mesh></object>\n";
  }
  return amf + "</amf>\n";
}

}  // namespace plasmabox
