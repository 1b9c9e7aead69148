#pragma once

#include <cstdint>
#include <vector>

#include "mesh/World.h"
#include "output/historyFile.h"
#include "particles/Species.h"

namespace plasmabox {

// What the step's potential solve reports to the history file.
struct SolveReport {
  bool solved = false;      // the step solved the potential
  int64_t iterations = 0;   // sweeps, multigrid iterations or Newton steps
  double residual = 0.0;    // its last residual
};

// The diagnostics of the step just finished: counts and kinetic energies per
// species, the field energy, the potential's range, the solve, and currents
// (A per object, this process's share). Every process of a distributed run
// must call it together: the values returned are totals over them.
HistoryRow measureHistoryRow(const World& world, const std::vector<Species>& species, const SolveReport& solve,
                             const std::vector<double>& currents);

}  // namespace plasmabox
