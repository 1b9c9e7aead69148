#pragma once

#include "particles/Species.h"

namespace plasmabox {

// J, kinetic energy of the real particles the species' macro-particles stand
// for: the sum of 0.5 * mass * weight * |vel|^2 in list order (the stored
// velocities, half a step behind the positions).
double kineticEnergy(const Species& species);

}  // namespace plasmabox
