#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

// An indexed triangle mesh in metres, as an AMF file stores one object:
// vertices, and triangles as three zero-based indices into them.
struct IndexedMesh {
  std::vector<Vec3> vertices;                         // m
  std::vector<std::array<std::uint32_t, 3>> triangles;  // indices into vertices
};

// One named object: the name the voltage and magnetisation tables look for,
// and its mesh.
struct NamedMesh {
  std::string name;
  IndexedMesh mesh;
};

}  // namespace plasmabox
