#pragma once

#include <string>
#include <vector>

#include "geometry/ObjectBvh.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// One triangle of an object's surface, corners stored by value (metres).
struct Triangle {
  Vec3 a;
  Vec3 b;
  Vec3 c;
};

// One solid read from the AMF file: a closed triangle surface with a name that
// the voltage and magnetisation tables refer to.
struct AmfObject {
  std::string name;
  std::vector<Vec3> vertices;       // accepted vertices, in file order
  std::vector<Triangle> triangles;  // accepted triangles, in file order
  Vec3 bbox_min;                    // component-wise minimum over the vertices
  Vec3 bbox_max;                    // component-wise maximum over the vertices
  // Ray index over the triangles, built by the reader once the box is known
  // (buildObjectBvh); the containment query scans every triangle without it.
  ObjectBvh bvh = {};
};

}  // namespace plasmabox
