#pragma once

#include <cmath>

#include "geometry/AmfObject.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The point of triangle t (m) for two numbers r1, r2 in [0, 1), spread
// uniformly over its area when r1 and r2 are independent and uniform:
//   s = sqrt(r1),  p = (1 - s) a + s (1 - r2) b + s r2 c.
// r1 sets how far p lies from corner a: the part of the triangle within
// fraction s of the way to edge bc has s^2 of its area, hence s = sqrt(r1).
// r2 sets where along that cross-section, parallel to bc, p lies. r1 = 0
// gives a, (r1, r2) -> (1, 0) gives b, (1, 1) gives c. The mapping folds
// nothing, so neighbouring numbers give neighbouring points.
inline Vec3 pointOnTriangle(const Triangle& t, double r1, double r2) {
  const double s = std::sqrt(r1);
  return (1.0 - s) * t.a + (s * (1.0 - r2)) * t.b + (s * r2) * t.c;
}

}  // namespace plasmabox
