#pragma once

#include <algorithm>
#include <cmath>

#include "geometry/RayQuery.h"

namespace plasmabox {

// What the hit tests return for "no hit": any negative parameter.
inline constexpr double NO_HIT = -1.0;

// a * b - c * d when its rounded value came out exactly zero: then
// fl(a * b) == fl(c * d), and the difference of the two products' rounding
// errors (exact through fma) carries the true sign.
inline double exactCrossRemainder(double a, double b, double c, double d) {
  const double p = a * b;
  const double q = c * d;
  return std::fma(a, b, -p) - std::fma(c, d, -q);
}

// Edge functions of triangle (a, b, c) in the ray's sheared frame: weights[0]
// belongs to corner a (edge b-c), [1] to b, [2] to c. The ray passes through
// the triangle when all three have one sign; their sum is the determinant and
// scaled_t the hit parameter times it. Each edge function is computed from the
// edge's two corners only, and a shared edge seen from the neighbouring
// triangle gives exactly the negated value: a ray through an edge or a vertex
// shared by triangles therefore passes through at least one of them
// (watertight). The signs are exact for the rounded corner coordinates.
inline void shearedEdgeFunctions(const RayQuery& q, const double a[3], const double b[3], const double c[3],
                                 double weights[3], double& scaled_t) {
  const int kx = q.kx, ky = q.ky, kz = q.kz;
  const double az = a[kz] - q.origin[kz], bz = b[kz] - q.origin[kz], cz = c[kz] - q.origin[kz];
  const double ax = (a[kx] - q.origin[kx]) - q.sx * az, ay = (a[ky] - q.origin[ky]) - q.sy * az;
  const double bx = (b[kx] - q.origin[kx]) - q.sx * bz, by = (b[ky] - q.origin[ky]) - q.sy * bz;
  const double cx = (c[kx] - q.origin[kx]) - q.sx * cz, cy = (c[ky] - q.origin[ky]) - q.sy * cz;
  double u = cx * by - cy * bx;
  double v = ax * cy - ay * cx;
  double w = bx * ay - by * ax;
  if (u == 0.0) u = exactCrossRemainder(cx, by, cy, bx);
  if (v == 0.0) v = exactCrossRemainder(ax, cy, ay, cx);
  if (w == 0.0) w = exactCrossRemainder(bx, ay, by, ax);
  weights[0] = u;
  weights[1] = v;
  weights[2] = w;
  scaled_t = u * (q.sz * az) + v * (q.sz * bz) + w * (q.sz * cz);
}

// Parameter (internal units of q) at which the ray meets triangle (a, b, c),
// or NO_HIT. A hit needs the three edge functions of one sign (zeros allowed:
// edges and corners count), a non-zero determinant (a ray in the triangle's
// plane, a degenerate triangle or NaN misses) and a parameter >= 0.
//
// The parameter is then clamped to the range over which the ray crosses the
// triangle's padded box. For a ray almost in the triangle's plane the rounded
// parameter could land anywhere along the triangle; the clamp keeps every
// accepted parameter inside the box, so the tree's pruning by box (slabRange
// on the nodes) never loses a hit that a scan of all triangles would find.
// The result does not depend on what else was hit, only on the ray and the
// triangle: that makes the tree and the scan agree exactly.
inline double watertightHit(const RayQuery& q, const double a[3], const double b[3], const double c[3]) {
  double e[3], scaled_t;
  shearedEdgeFunctions(q, a, b, c, e, scaled_t);
  if ((e[0] < 0.0 || e[1] < 0.0 || e[2] < 0.0) && (e[0] > 0.0 || e[1] > 0.0 || e[2] > 0.0)) return NO_HIT;
  const double det = e[0] + e[1] + e[2];
  if (!(std::fabs(det) > 0.0)) return NO_HIT;
  const double t = scaled_t / det;
  if (!(t >= 0.0)) return NO_HIT;
  double lo[3], hi[3];
  for (int k = 0; k < 3; ++k) {
    lo[k] = std::min({a[k], b[k], c[k]});
    hi[k] = std::max({a[k], b[k], c[k]});
  }
  double enter, exit;
  slabRange(q, lo, hi, enter, exit);
  if (!(enter <= exit)) return NO_HIT;
  return std::min(std::max(t, enter), exit);
}

}  // namespace plasmabox
