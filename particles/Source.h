#pragma once

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
};

}  // namespace plasmabox
