#pragma once

#include <cfloat>
#include <cmath>
#include <limits>

#include "mesh/Vec3.h"

namespace plasmabox {

// A ray or segment prepared once for testing against many boxes and triangles:
// the points origin + t * direction for t in [0, t_max].
//
// The direction is scaled by a power of two so that its largest component lies
// in [1, 2): exact, and it keeps the shear and the inverse far from overflow
// and underflow. t_scale turns the internal parameter back into the caller's.
// kz is the axis of the largest component; the shear (sx, sy, sz) maps the ray
// onto the +z axis of a frame (kx, ky, kz) with the handedness of (x, y, z),
// as the watertight triangle test needs.
struct RayQuery {
  double origin[3] = {0, 0, 0};
  double direction[3] = {0, 0, 0};
  double inverse[3] = {0, 0, 0};             // 1 / direction; +-infinity for a zero component
  bool negative[3] = {false, false, false};  // sign bit of each direction component
  int kx = 0, ky = 1, kz = 2;
  double sx = 0, sy = 0, sz = 0;
  double t_max = 0;               // in units of the scaled direction
  double t_scale = 1;             // caller's t = internal t * t_scale
  double pad = 0;                 // m, how far boxes are widened against rounding (see makeRayQuery)
  double from_lo[3] = {0, 0, 0};  // origin + pad: lo - from_lo is the widened lower face's offset
  double from_hi[3] = {0, 0, 0};  // origin - pad, for the upper faces
  bool valid = false;             // false for non-finite input, a zero direction or a negative t_max: it hits nothing
};

// Widens every box the query meets by pad (m) in all directions.
inline void setRayPad(RayQuery& q, double pad) {
  q.pad = pad;
  for (int a = 0; a < 3; ++a) {
    q.from_lo[a] = q.origin[a] + pad;
    q.from_hi[a] = q.origin[a] - pad;
  }
}

// Prepares the ray from origin along direction up to parameter t_max (in units
// of the given direction; infinity for an endless ray). scene_scale (m) is the
// largest coordinate magnitude of the triangles the ray will meet.
//
// pad is 64 ulps of the largest magnitude in play (origin and scene): the
// triangle test's rounding moves a hit at most a few ulps of that away from the
// exact triangle, so a box widened by pad never drops a triangle the test
// would hit. (The rounding of origin +- pad itself is below an ulp of the
// origin, far inside the pad.)
inline RayQuery makeRayQuery(const Vec3& origin, const Vec3& direction, double t_max, double scene_scale) {
  RayQuery q;
  const double largest = std::fmax(std::fabs(direction.x), std::fmax(std::fabs(direction.y), std::fabs(direction.z)));
  const double reach = std::fmax(std::fabs(origin.x), std::fmax(std::fabs(origin.y), std::fabs(origin.z)));
  if (!(largest > 0.0) || !std::isfinite(largest) || !std::isfinite(reach) || !(t_max >= 0.0) ||
      !std::isfinite(scene_scale))
    return q;  // t_max NaN fails too; +infinity is an endless ray
  const int exponent = std::ilogb(largest);
  for (int a = 0; a < 3; ++a) {
    q.origin[a] = origin[a];
    q.direction[a] = std::scalbn(direction[a], -exponent);
    q.inverse[a] = 1.0 / q.direction[a];
    q.negative[a] = std::signbit(q.direction[a]);
  }
  q.t_scale = std::scalbn(1.0, -exponent);
  // When t_max times the direction's length passes the largest double, the
  // limit becomes infinity: only a hit farther away than that could slip by.
  q.t_max = t_max / q.t_scale;
  q.kz = std::fabs(q.direction[0]) >= std::fabs(q.direction[1])
             ? (std::fabs(q.direction[0]) >= std::fabs(q.direction[2]) ? 0 : 2)
             : (std::fabs(q.direction[1]) >= std::fabs(q.direction[2]) ? 1 : 2);
  q.kx = (q.kz + 1) % 3;
  q.ky = (q.kx + 1) % 3;
  if (q.negative[q.kz]) std::swap(q.kx, q.ky);  // keeps the edge functions' sign convention
  q.sx = q.direction[q.kx] / q.direction[q.kz];
  q.sy = q.direction[q.ky] / q.direction[q.kz];
  q.sz = 1.0 / q.direction[q.kz];
  setRayPad(q, 64.0 * DBL_EPSILON * (reach + std::fabs(scene_scale)));
  q.valid = true;
  return q;
}

// Parameter range [enter, exit] over which the ray lies in the box [lo, hi]
// widened by q.pad; enter > exit when it misses. Unbounded: the caller clips
// to its own range. A zero direction component whose origin lies exactly on a
// widened face gives 0 * infinity = NaN there, which the comparisons below
// skip: that axis then sets no limit, as the closed slab requires.
//
// The result is monotone in the bounds: a box inside another gives a range
// inside the other's, bit for bit. The tree traversal relies on this to never
// skip a node that holds a triangle the test accepts.
template <class Bound>
inline void slabRange(const RayQuery& q, const Bound lo[3], const Bound hi[3], double& enter, double& exit) {
  enter = -std::numeric_limits<double>::infinity();
  exit = std::numeric_limits<double>::infinity();
  for (int a = 0; a < 3; ++a) {
    const double t_lo = (static_cast<double>(lo[a]) - q.from_lo[a]) * q.inverse[a];
    const double t_hi = (static_cast<double>(hi[a]) - q.from_hi[a]) * q.inverse[a];
    const double t_near = q.negative[a] ? t_hi : t_lo;
    const double t_far = q.negative[a] ? t_lo : t_hi;
    enter = t_near > enter ? t_near : enter;
    exit = t_far < exit ? t_far : exit;
  }
}

}  // namespace plasmabox
