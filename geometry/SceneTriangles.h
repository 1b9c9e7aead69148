#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/TriangleTree.h"

namespace plasmabox {

// One triangle of the scene as the ray queries read it: corners as arrays, so
// the sheared frame can pick coordinates by axis number.
struct SceneTriangle {
  double a[3];
  double b[3];
  double c[3];
  int32_t object;    // index into the objects the scene was built from
  int32_t triangle;  // index into that object's triangles
};

// Every triangle of every object in one tree, for ray queries in any
// direction (firstHit.h). Triangles are stored in the tree's slot order, so a
// leaf reads its triangles from one run of memory.
struct SceneTriangles {
  std::vector<SceneTriangle> triangles;  // slot order; triangles with a non-finite corner are left out
  TriangleTree tree;                     // tree.order[slot]: rank of the triangle in (object, triangle) order
  double scale = 0.0;                    // m, largest coordinate magnitude of any corner
};

// How far above a surface (m, relative to the scene's scale) a ray leaving
// that surface starts, so that it does not meet the triangle it leaves: a
// billion times less than the scene, and about ten million times more than the
// rounding of the hit test (a few ulps of the scene's coordinates).
inline constexpr double SURFACE_OFFSET_RELATIVE = 1e-9;

// The offset (m) for rays leaving the surfaces of scene: SURFACE_OFFSET_RELATIVE
// times its largest coordinate magnitude.
inline double surfaceOffset(const SceneTriangles& scene) { return SURFACE_OFFSET_RELATIVE * scene.scale; }

// Collects the triangles of all objects and builds their tree. Triangles with
// a non-finite corner (which the AMF reader never makes) can be hit by no ray
// and are left out. Cost O(n log n) for n triangles, once at set-up.
// Throws std::invalid_argument for more than 2^31 - 1 triangles in all.
SceneTriangles buildSceneTriangles(std::span<const AmfObject> objects);

}  // namespace plasmabox
