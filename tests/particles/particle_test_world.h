#pragma once

#include "mesh/World.h"
#include "particles/Particle.h"

namespace plasmabox {

// Makes w span [lo, hi]^3 (m) with time step dt (s).
inline void setUpCube(World& w, double lo, double hi, double dt = 1e-9) {
  w.grid.setExtents({lo, lo, lo}, {hi, hi, hi});
  w.dt = dt;
}

inline Particle at(Vec3 pos, Vec3 vel, double weight = 1.0) { return Particle{pos, vel, weight}; }

}  // namespace plasmabox
