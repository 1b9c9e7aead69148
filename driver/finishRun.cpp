#include <algorithm>
#include <iostream>

#include "driver/Run.h"
#include "driver/consoleClock.h"
#include "mesh/ghostPlanes.h"
#include "mesh/processReduction.h"

namespace plasmabox {

void finishRun(Run& run) {
  const World& world = *run.world;
  if (world.part.distributed()) {
    // The traffic between the processes, for scaling estimates: ghost planes
    // (fields, solver sweeps, deposition) and particle records, per step.
    const double steps = std::max(world.num_ts + 1 - run.first_step, 1);
    const double planes = sumOverProcesses(world.part, static_cast<double>(ghostBytesSent())) / steps;
    const double moved = sumOverProcesses(world.part, static_cast<double>(run.bytes_migrated)) / steps;
    std::cout << "Exchanged between processes: " << planes << " bytes of ghost planes and " << moved
              << " bytes of particles per step (all processes, set-up solves included)" << std::endl;
  }
  const double seconds = static_cast<double>(steadyNanoseconds() - run.start_ns) / 1e9;
  std::cout << "Simulation took " << secondsText(seconds, run.digits) << " seconds" << std::endl;
}

}  // namespace plasmabox
