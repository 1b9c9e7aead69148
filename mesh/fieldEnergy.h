#pragma once

#include "mesh/World.h"

namespace plasmabox {

// J, energy of the electric field on the mesh: eps0/2 times the sum over the
// nodes of |ef|^2 times the node volume, summed in storage order. On a
// distributed mesh: the total over the processes (every process must call it).
double electricFieldEnergy(const World& world);

}  // namespace plasmabox
