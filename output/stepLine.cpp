#include "output/stepLine.h"

#include <iostream>

namespace plasmabox {

void printStepLine(const World& world, const std::vector<Species>& species) {
  std::cout << "ts: " << world.ts;
  for (const Species& s : species) std::cout << "\t " << s.name << ":" << s.particles.size();
  std::cout << std::endl;
}

}  // namespace plasmabox
