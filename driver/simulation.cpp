#include "driver/simulation.h"

#include <iostream>

#include "driver/RunParameters.h"
#include "mesh/World.h"

int runSimulation(const std::vector<std::string>& args) {
  const std::optional<RunParameters> parsed = parseRunParameters(args);
  if (!parsed) return 1;
  RunParameters p = *parsed;
  validateRunParameters(p);

  World world(p.ni, p.nj, p.nk);
  world.num_threads = 60;
  world.setExtents(p.x0, p.xm);
  world.dt = 1e-11;
  world.num_ts = 100;

  std::cout << "Simulation took " << world.getWallTime() << " seconds" << std::endl;
  return 0;
}
