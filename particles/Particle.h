#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// One macro-particle: seven doubles, copied bytewise. The push advances every
// particle by exactly one time step, so no per-particle time is kept.
struct Particle {
  Vec3 pos;             // m
  Vec3 vel;             // m/s, half a step behind pos (leapfrog)
  double weight = 0.0;  // real particles per macro-particle; <= 0 marks a dead one
};

static_assert(sizeof(Particle) == 7 * sizeof(double));

}  // namespace plasmabox
