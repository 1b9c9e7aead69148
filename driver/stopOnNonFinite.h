#pragma once

#include "driver/Run.h"
#include "output/historyRow.h"

namespace plasmabox {

// Ends the run when, at the end of the set-up (world.ts below 0) or of a
// step, the potential, the electric field or a species' density (the
// Boltzmann electrons' too) holds a NaN or an infinite value on any process. The first process prints one message
// naming the step, each such field with its count of nodes and the likely
// cause (for a solve: its method and last residual); then every process
// throws RunStopped (exit status 1), before anything of the step is written,
// so that the files of earlier steps stay as they were. solve: what the
// step's (or the set-up's) potential solve reports. A pass of its own over
// the owned nodes every step, on the run's team; every process must call it
// together (one message between them).
void stopOnNonFiniteFields(const Run& run, const SolveReport& solve);

}  // namespace plasmabox
