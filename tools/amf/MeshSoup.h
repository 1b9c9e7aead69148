#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "geometry/IndexedMesh.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// Triangles as they come out of a file: three corner points per triangle, in the
// file's own length unit, no shared vertices. Every reader produces this, so
// welding and unit conversion happen once, in one place.
struct MeshSoup {
  std::vector<Vec3> corners;      // 3 per triangle, corners of triangle t at 3t, 3t+1, 3t+2
  double metres_per_unit = 1.0;   // length of one file unit in metres (1 when the format has no unit)
  std::string unit_label;         // unit as the file declares it, "" when it declares none
  std::string source_name;        // object name found in the file, "" when none
  std::size_t object_count = 1;   // number of objects the file holds (AMF), 1 for STL
  std::size_t volume_count = 1;   // volumes merged into this soup (AMF), 1 for STL
  std::string format;             // "ASCII STL", "binary STL", "AMF", "zipped AMF"
};

}  // namespace plasmabox
