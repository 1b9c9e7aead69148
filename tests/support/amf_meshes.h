#pragma once
// Indexed triangle meshes written as an AMF document for the tests.

#include <cstdio>
#include <string>
#include <vector>

#include "geometry/IndexedMesh.h"

namespace plasmabox {

// One object per mesh, named in its first metadata element, 17 significant digits.
inline std::string meshesAmf(const std::vector<NamedMesh>& meshes) {
  std::string amf = "<?xml version=\"1.0\"?>\n<amf unit=\"meter\">\n";
  char number[32];
  const auto put = [&](const char* tag, double v) {
    std::snprintf(number, sizeof number, "%.17g", v);
    amf.append("<").append(tag).append(">").append(number).append("</").append(tag).append(">");
  };
  for (const NamedMesh& m : meshes) {
    amf += "<object><metadata type=\"name\">" + m.name + "</metadata><mesh><vertices>";
    for (const Vec3& v : m.mesh.vertices) {
      amf += "<vertex><coordinates>";
      put("x", v.x), put("y", v.y), put("z", v.z);
      amf += "</coordinates></vertex>";
    }
    amf += "</vertices><volume>";
    for (const auto& t : m.mesh.triangles)
      amf += "<triangle><v1>" + std::to_string(t[0]) + "</v1><v2>" + std::to_string(t[1]) + "</v2><v3>" +
             std::to_string(t[2]) + "</v3></triangle>";
    amf += "</volume></mesh></object>\n";
  }
  return amf + "</amf>\n";
}

}  // namespace plasmabox
