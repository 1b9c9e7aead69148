#pragma once

#include <cstddef>
#include <vector>

#include "geometry/AmfObject.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// Per triangle of one object: the unit normal pointing out of the solid, and
// the area.
struct OutwardNormals {
  std::vector<Vec3> normal;  // unit; zero for a triangle of zero area
  std::vector<double> area;  // m^2
  std::size_t reversed = 0;  // triangles whose corner order made the normal point inwards
};

// Outward normals of every triangle of object, in its triangle order.
//
// The surface must be closed: corners are matched by exact position, and
// every edge must belong to an even number of triangles (as isClosedSurface).
// Triangles whose corner order disagrees with their neighbours' (a shared edge
// run the same way by both) are turned to agree with them: orientation is
// propagated across edges shared by exactly two triangles, over each
// connected shell. Each shell is then turned so that it encloses a positive
// volume, and turned back when it lies inside an odd number of other shells
// (a cavity, whose outward side faces into the hole). Where edges are shared
// by more than two triangles, propagation is ambiguous: such an object is
// accepted only when its corner order is already consistent, and all its
// triangles are turned together when their total signed volume is negative.
//
// Throws std::invalid_argument naming the object when no outward side can be
// told: a non-finite corner, a surface that is not closed, an inconsistent
// order at an edge of more than two triangles, a shell that cannot be
// oriented or encloses no volume, or shells touching so that which one holds
// which is unclear. Cost O(n log n), plus a winding number per pair of nested
// shell boxes.
OutwardNormals outwardNormals(const AmfObject& object);

}  // namespace plasmabox
