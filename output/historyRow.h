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

// What entered and left the box in the step, per species, on this process.
struct ParticleFlow {
  int64_t injected = 0;  // macro-particles created by injection
  int64_t lost = 0;      // macro-particles that left through the walls
};

// The diagnostics of the step just finished: counts, kinetic energies and
// flows (this process's, in species order) per species, the field energy,
// the potential's range, the solve, and currents (A per object, this
// process's share). Every process of a distributed run must call it
// together: the values returned are totals over them.
HistoryRow measureHistoryRow(const World& world, const std::vector<Species>& species,
                             const std::vector<ParticleFlow>& flows, const SolveReport& solve,
                             const std::vector<double>& currents);

}  // namespace plasmabox
