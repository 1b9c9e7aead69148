#pragma once

#include <cstdint>
#include <vector>

#include "particles/Species.h"

namespace plasmabox {

// A species' whole population, for the console and the history file.
struct SpeciesTotal {
  int64_t particles = 0;        // macro-particles
  double kinetic_energy = 0.0;  // J, see kineticEnergy
};

// Per species, in list order: the macro-particle count and the kinetic
// energy summed over the processes of the run (each process's value added in
// rank order, one message for all species); on one process the list's size
// and kineticEnergy itself. Every process must call it, with its own
// species in the same order.
std::vector<SpeciesTotal> speciesTotals(const std::vector<Species>& species);

}  // namespace plasmabox
