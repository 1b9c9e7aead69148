#include "output/historyRow.h"

#include <algorithm>
#include <cmath>

#include "mesh/fieldEnergy.h"
#include "mesh/processReduction.h"
#include "particles/speciesTotals.h"

namespace plasmabox {

HistoryRow measureHistoryRow(const World& world, const std::vector<Species>& species,
                             const std::vector<ParticleFlow>& flows, const SolveReport& solve,
                             const std::vector<double>& currents) {
  HistoryRow row;
  const Decomposition& part = world.part;
  row.currents = currents;
  row.step = world.ts;
  row.time = world.time;
  // The flows as doubles for the sum over processes: whole counts far below 2^53 stay exact.
  std::vector<double> moved;
  for (const ParticleFlow& f : flows) {
    moved.push_back(static_cast<double>(f.injected));
    moved.push_back(static_cast<double>(f.lost));
  }
  if (part.distributed()) sumOverProcesses(part, moved);
  const std::vector<SpeciesTotal> totals = speciesTotals(species);
  for (std::size_t s = 0; s < totals.size(); ++s) {
    SpeciesHistory h{static_cast<std::size_t>(totals[s].particles), totals[s].kinetic_energy, 0, 0};
    if (2 * s + 1 < moved.size()) {
      h.injected = static_cast<int64_t>(moved[2 * s]);
      h.lost = static_cast<int64_t>(moved[2 * s + 1]);
    }
    row.species.push_back(h);
  }
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
