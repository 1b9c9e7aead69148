#include "particles/speciesTotals.h"

#include <cstddef>

#include "mesh/processReduction.h"
#include "particles/kineticEnergy.h"

namespace plasmabox {

std::vector<SpeciesTotal> speciesTotals(const std::vector<Species>& species) {
  std::vector<SpeciesTotal> totals(species.size());
  if (species.empty()) return totals;
  const Decomposition& part = species.front().world->part;
  // Counts and energies in one vector: one message; a count below 2^53 is exact as a double.
  std::vector<double> sums(2 * species.size());
  for (std::size_t s = 0; s < species.size(); ++s) {
    sums[2 * s] = static_cast<double>(species[s].particles.size());
    sums[2 * s + 1] = kineticEnergy(species[s]);
  }
  sumOverProcesses(part, sums);
  for (std::size_t s = 0; s < species.size(); ++s)
    totals[s] = {static_cast<int64_t>(sums[2 * s]), sums[2 * s + 1]};
  return totals;
}

}  // namespace plasmabox
