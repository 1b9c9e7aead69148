#pragma once

#include <cstdint>

#include "mesh/Vec3.h"

namespace plasmabox {

// One macro-particle an object absorbed in this step.
struct Impact {
  int32_t object = -1;    // index into the AMF objects
  int32_t triangle = -1;  // index into that object's triangles; -1: the step's segment met none of them
  Vec3 point;             // m, where the step's segment first meets the triangle (triangle -1: the old position)
  Vec3 vel;               // m/s, the velocity it struck with
  double weight = 0.0;    // real particles per macro-particle
};

}  // namespace plasmabox
