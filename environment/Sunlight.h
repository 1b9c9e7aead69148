#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// The sun as the objects' surfaces see it.
struct Sunlight {
  Vec3 direction;            // unit vector towards the sun
  double current = 2e-5;     // A/m^2, photoelectron current at normal incidence (a common value at 1 AU)
  double temperature = 2.0;  // eV, of the photoelectrons
};

}  // namespace plasmabox
