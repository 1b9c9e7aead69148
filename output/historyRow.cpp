#include "output/historyRow.h"

#include <algorithm>
#include <cmath>

#include "mesh/fieldEnergy.h"
#include "mesh/processReduction.h"
#include "particles/speciesTotals.h"

namespace plasmabox {

HistoryRow measureHistoryRow(const World& world, const std::vector<Species>& species, const SolveReport& solve,
                             const std::vector<double>& currents) {
  HistoryRow row;
  row.currents = currents;
  row.step = world.ts;
  row.time = world.time;
  const Decomposition& part = world.part;
  for (const SpeciesTotal& total : speciesTotals(species))
    row.species.emplace_back(static_cast<std::size_t>(total.particles), total.kinetic_energy);
  row.field_energy = electricFieldEnergy(world);
  // The owned planes' range, then the range over the processes.
  const std::size_t plane = static_cast<std::size_t>(world.grid.nj) * static_cast<std::size_t>(world.grid.nk);
  const auto first = world.phi.data.begin() + static_cast<std::ptrdiff_t>(plane * world.grid.ownedBegin());
  const auto last = world.phi.data.begin() + static_cast<std::ptrdiff_t>(plane * world.grid.ownedEnd());
  const auto [lo, hi] = std::minmax_element(first, last);
  row.phi_min = lo == last ? 0.0 : *lo;
  row.phi_max = hi == last ? 0.0 : *hi;
  if (part.distributed()) {
    row.phi_min = minOverProcesses(part, lo == last ? INFINITY : *lo);
    row.phi_max = maxOverProcesses(part, hi == last ? -INFINITY : *hi);
    sumOverProcesses(part, row.currents);
  }
  row.solved = solve.solved;
  if (row.solved) {
    row.solve_iterations = solve.iterations;
    row.solve_residual = solve.residual;
  }
  return row;
}

}  // namespace plasmabox
