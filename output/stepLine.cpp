#include "output/stepLine.h"

#include <cstdint>
#include <iostream>

#include "mesh/processReduction.h"

namespace plasmabox {

void printStepLine(const World& world, const std::vector<Species>& species) {
  // Totals over the processes of a distributed run (every process calls this).
  std::vector<int64_t> counts;
  for (const Species& s : species)
    counts.push_back(sumOverProcesses(world.part, static_cast<int64_t>(s.particles.size())));
  if (world.part.rank != 0) return;
  std::cout << "ts: " << world.ts;
  for (std::size_t n = 0; n < species.size(); ++n) std::cout << "\t " << species[n].name << ":" << counts[n];
  std::cout << std::endl;
}

}  // namespace plasmabox
