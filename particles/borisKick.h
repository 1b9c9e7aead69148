#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// The Boris rotation of velocity v in field b over one step, with h the
// velocity change per V/m over half a step (C s / kg): half the electric kick
// e, the rotation, the other half.
inline void borisKick(Vec3& v, const Vec3& e, const Vec3& b, double h) {
  const Vec3 minus{v.x + h * e.x, v.y + h * e.y, v.z + h * e.z};
  const Vec3 t{h * b.x, h * b.y, h * b.z};
  const double s_factor = 2.0 / (1.0 + dot(t, t));
  const Vec3 s{s_factor * t.x, s_factor * t.y, s_factor * t.z};
  const Vec3 prime = minus + cross(minus, t);
  const Vec3 plus = minus + cross(prime, s);
  v = {plus.x + h * e.x, plus.y + h * e.y, plus.z + h * e.z};
}

}  // namespace plasmabox
