#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// One species' share of the plasma that surrounds the box: a drifting
// Maxwellian that fills the box at set-up and enters through every wall.
struct Ambient {
  double density = 0.0;      // m^-3; 0: this species has no ambient population
  double temperature = 0.0;  // eV
  Vec3 drift;                // m/s, the plasma's velocity in the frame of the objects
};

// V/m, the motional electric field -drift x b of a plasma flowing at drift
// (m/s) across a magnetic field b (T), seen in the frame of the objects: the
// field that keeps the flow drifting across b (E x B drift = drift's
// component across b).
inline Vec3 motionalField(const Vec3& drift, const Vec3& b) { return cross(b, drift); }

}  // namespace plasmabox
