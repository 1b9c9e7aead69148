#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/rayHitsTriangle.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// Per-object acceleration structure for the containment vote: for each of the
// five ray directions, a bounding-volume hierarchy over the triangles that a ray
// along that direction can hit.
//
// Every direction has a zero component, so each gets an exact frame: u is the
// coordinate on the axis where the direction is zero, w the coordinate along
// d x (that axis), both exactly perpendicular to d, and "along" is d . x. A ray
// from p then is the single point (u(p), w(p)) of the (u, w) plane, travelling
// towards larger "along". A node is entered when that point lies in its padded
// (u, w) rectangle and the node reaches far enough along the ray.
//
// The padding of each triangle covers the rounding of the hit test, so pruning
// never drops a triangle that the test would count: the vote, and hence every
// containment result, is the same as that of a scan over all triangles.

// Frame of one ray direction (see above).
struct RayFrame {
  int zero_axis;  // 0, 1 or 2: the axis on which the direction is zero
  Vec3 w;         // d x (unit vector of zero_axis); exactly perpendicular to d
  Vec3 d;         // the direction itself
};

// The frame of ray direction k (0 to 4).
constexpr RayFrame rayFrame(int k) {
  const Vec3 d = RAY_DIRECTIONS[k];
  const int axis = d.x == 0.0 ? 0 : (d.y == 0.0 ? 1 : 2);
  Vec3 unit;
  unit[axis] = 1.0;
  return {axis, cross(d, unit), d};
}

inline double frameU(const RayFrame& f, const Vec3& x) { return x[f.zero_axis]; }
inline double frameW(const RayFrame& f, const Vec3& x) { return f.w.x * x.x + f.w.y * x.y + f.w.z * x.z; }
inline double frameAlong(const RayFrame& f, const Vec3& x) { return f.d.x * x.x + f.d.y * x.y + f.d.z * x.z; }

// One node. Bounds are floats rounded outwards from the padded double bounds,
// which halves the tree's memory on meshes of a million triangles.
struct BvhNode {
  float u_lo, u_hi;  // padded range of frameU over the node's triangles
  float w_lo, w_hi;  // padded range of frameW
  float along_max;   // padded largest frameAlong
  int32_t first;     // leaf: first slot in triangle_ids; inner node: index of the second child
  int32_t count;     // leaf: number of triangles (> 0); inner node: 0 (first child is the next node)
};

// Hierarchy of one ray direction.
struct DirectionBvh {
  std::vector<BvhNode> nodes;           // depth first, root at 0; empty when no triangle is boxed
  std::vector<uint32_t> triangle_ids;   // leaf contents: indices into the object's triangles
  std::vector<uint32_t> unbounded_ids;  // triangles without a safe box: tested for every ray
};

// The five hierarchies of one object, and what they were built for: the query
// falls back to the full scan whenever the object no longer matches.
struct ObjectBvh {
  std::array<DirectionBvh, NUM_RAY_DIRECTIONS> directions;
  bool usable = false;            // false: never built, or the box is not finite
  std::size_t triangle_count = 0;  // number of triangles indexed
  Vec3 bbox_min;                   // object box at build time
  Vec3 bbox_max;
};

// Deepest tree the traversal stack holds. Median splits halve the triangle count
// at every level, so 2^64 triangles would be needed to exceed it.
inline constexpr int BVH_MAX_DEPTH = 64;

}  // namespace plasmabox
