#pragma once

#include <cstdint>

#include "mesh/Vec3.h"
#include "mesh/World.h"
#include "particles/Species.h"

namespace plasmabox {

// One injection source: a stream of one species entering through a plane
// rectangle at every time step.
struct Source {
  Species* species;       // receives the particles; not owned
  World* world;           // the mesh, for dt; not owned
  double drift_speed;     // m/s, along the positive normal of the plane
  double inject_density;  // m^-3, number density of the injected stream
  double temperature = 0.0;  // eV, of the stream (a drifting Maxwellian); 0: cold
  int32_t face = 0;          // plane normal: 1 z, 2 x, 3 y; any other value injects nothing
  Vec3 corner_1{}, corner_2{};  // m, opposite corners of the rectangle
};

}  // namespace plasmabox
