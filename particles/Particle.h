#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// One macro-particle: exactly eight doubles, copied bytewise.
struct Particle {
  Vec3 pos;                   // m
  Vec3 vel;                   // m/s, half a step behind pos (leapfrog)
  double pending_time = 0.0;  // s still to advance; 0 between pushes
  double weight = 0.0;        // real particles per macro-particle; <= 0 marks a dead one
};

static_assert(sizeof(Particle) == 8 * sizeof(double));

}  // namespace plasmabox
