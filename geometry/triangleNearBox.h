#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/AmfObject.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// A triangle prepared for many box tests: its bounding box and its plane.
struct TrianglePlane {
  Vec3 a;             // m, first corner
  Vec3 lo, hi;        // m, bounding box of the corners
  Vec3 normal;        // (b - a) x (c - a) as computed, m^2; zero for a degenerate triangle
  double below;       // m^3, the corners' extent along normal (relative to a): it is not
  double above;       //   exactly perpendicular to the computed edges
  double scale;       // m, largest extent of the corners, for the rounding allowance
};

inline TrianglePlane trianglePlane(const Triangle& t) {
  TrianglePlane p;
  p.a = t.a;
  for (int d = 0; d < 3; ++d) {
    p.lo[d] = std::min({t.a[d], t.b[d], t.c[d]});
    p.hi[d] = std::max({t.a[d], t.b[d], t.c[d]});
  }
  p.normal = cross(t.b - t.a, t.c - t.a);
  const double pb = dot(p.normal, t.b - t.a), pc = dot(p.normal, t.c - t.a);
  p.below = std::min({0.0, pb, pc});
  p.above = std::max({0.0, pb, pc});
  p.scale = std::max({std::fabs(p.hi.x - p.lo.x), std::fabs(p.hi.y - p.lo.y), std::fabs(p.hi.z - p.lo.z)});
  return p;
}

// False only when the triangle certainly does not meet the closed box
// [lo, hi] (m): the box and the triangle's bounding box are apart on an
// axis, or box and triangle are apart along the triangle's normal by more
// than a generous allowance for rounding. Skipping the edge axes of the full
// separating-axis test only makes it answer true more often.
inline bool mayMeetBox(const TrianglePlane& t, const Vec3& lo, const Vec3& hi) {
  if (t.hi.x < lo.x || t.lo.x > hi.x || t.hi.y < lo.y || t.lo.y > hi.y || t.hi.z < lo.z || t.lo.z > hi.z)
    return false;
  const Vec3 half = 0.5 * (hi - lo);
  const Vec3 centre = lo + half;
  const Vec3 s = centre - t.a;
  const double distance = dot(t.normal, s);  // m^3: the box centre along the normal
  const double reach = std::fabs(t.normal.x) * half.x + std::fabs(t.normal.y) * half.y + std::fabs(t.normal.z) * half.z;
  const double size = std::fabs(s.x) + std::fabs(s.y) + std::fabs(s.z) + half.x + half.y + half.z + t.scale;
  const double norm1 = std::fabs(t.normal.x) + std::fabs(t.normal.y) + std::fabs(t.normal.z);
  // The products above carry a few units of rounding of norm1 * size; 1e-9
  // of it is far more than that and far less than any cell.
  const double allowance = 1e-9 * norm1 * size;
  return !(distance - reach > t.above + allowance || distance + reach < t.below - allowance);
}

}  // namespace plasmabox
