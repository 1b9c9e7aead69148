#pragma once

#include <cstddef>

#include "particles/Species.h"

namespace plasmabox {

// A/m^2: the current density of species s at node q (field storage index):
// its charge density, the mean of the last deposition and the one before,
// times its mean velocity. Computed where it is read instead of stored, which
// saves three doubles per node and species.
inline Vec3 currentDensityAt(const Species& s, std::size_t q) {
  const double c = 0.5 * s.charge * (s.den.data[q] + s.den_prev.data[q]);  // C/m^3
  const Vec3& v = s.vel.data[q];
  return {c * v.x, c * v.y, c * v.z};
}

}  // namespace plasmabox
