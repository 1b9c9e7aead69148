#pragma once

#include <cmath>

#include "mesh/Vec3.h"

namespace plasmabox {

// The five ray directions of the containment vote, in vote order. They are not
// normalised (lengths 0.71 to 0.77) and every one has a zero component, which
// the ray index uses to build an exact frame around each direction.
inline constexpr int NUM_RAY_DIRECTIONS = 5;
inline constexpr Vec3 RAY_DIRECTIONS[NUM_RAY_DIRECTIONS] = {
    {0.5, 0.5, 0.0}, {0.0, 0.3, 0.7}, {0.7, 0.0, 0.3}, {0.7, 0.3, 0.0}, {0.0, 0.7, 0.3}};

// Determinant magnitude below which the ray counts as parallel to the triangle
// plane and misses it (m^2 times the direction length).
inline constexpr double RAY_PARALLEL_TOLERANCE = 1e-8;
// Smallest accepted ray parameter, so that a triangle through the origin itself
// is not counted (in units of the direction length).
inline constexpr double RAY_MIN_T = 1e-8;

// h = d x e2 written out component by component, in the order the hit test uses.
inline Vec3 rayCrossDirection(const Vec3& d, const Vec3& e2) {
  return {d.y * e2.z - e2.y * d.z, d.z * e2.x - e2.z * d.x, d.x * e2.y - e2.x * d.y};
}

// The Moller-Trumbore determinant e1 . (d x e2) of triangle (a, b, c) for ray
// direction d. It does not depend on the ray origin, so the ray index can
// compute it once at load time and get exactly the bits the hit test gets.
inline double rayTriangleDeterminant(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  const Vec3 e1 = b - a;
  const Vec3 e2 = c - a;
  const Vec3 h = rayCrossDirection(d, e2);
  return e1.x * h.x + e1.y * h.y + e1.z * h.z;
}

// True when the ray from origin o along direction d meets triangle (a, b, c) at
// a parameter t > 1e-8 (Moller-Trumbore). Bounds are inclusive on the triangle
// side (u = 0, v = 0, u + v = 1 hit), so a ray through an edge shared by two
// triangles counts for both. Any NaN makes a comparison false and gives no hit.
inline bool rayHitsTriangle(const Vec3& o, const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d) {
  const Vec3 e1 = b - a;
  const Vec3 e2 = c - a;
  const Vec3 h = rayCrossDirection(d, e2);
  const double det = e1.x * h.x + e1.y * h.y + e1.z * h.z;
  if (std::fabs(det) < RAY_PARALLEL_TOLERANCE) return false;
  const double f = 1.0 / det;
  const Vec3 s = o - a;
  const double u = f * (s.x * h.x + s.y * h.y + s.z * h.z);
  if (u < 0.0 || u > 1.0) return false;
  const Vec3 q = {s.y * e1.z - e1.y * s.z, s.z * e1.x - e1.z * s.x, s.x * e1.y - e1.x * s.y};
  const double v = f * (d.x * q.x + d.y * q.y + d.z * q.z);
  if (v < 0.0 || u + v > 1.0) return false;
  const double t = f * (e2.x * q.x + e2.y * q.y + e2.z * q.z);
  return t > RAY_MIN_T;
}

}  // namespace plasmabox
