#pragma once

#include <string>
#include <vector>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// Builds an indexed mesh (vertices unique, no two bitwise equal) from triangle corners (3 per triangle): each corner
// is multiplied by `metres_per_unit`, then corners with exactly equal scaled
// coordinates become one vertex (-0 and +0 count as equal). Vertices keep the
// order of their first use and triangles keep the file order, so the same input
// always gives the same output. No triangle is dropped, degenerate ones
// included. Throws std::runtime_error naming `name` when a scaled coordinate
// is no longer finite or there are more than 2^32 - 1 vertices.
IndexedMesh weldVertices(const std::vector<Vec3>& corners, double metres_per_unit, const std::string& name);

}  // namespace plasmabox
