#include "output/stepLine.h"

#include <cstdint>
#include <iostream>

#include "mesh/processReduction.h"

namespace plasmabox {

void printStepLine(const World& world, const std::vector<Species>& species) {
  std::cout << "ts: " << world.ts;
  // Totals over the processes of a distributed run (every process calls this).
  for (const Species& s : species)
    std::cout << "\t " << s.name << ":" << sumOverProcesses(world.part, static_cast<int64_t>(s.particles.size()));
  std::cout << std::endl;
}

}  // namespace plasmabox
