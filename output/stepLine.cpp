#include "output/stepLine.h"

#include <iostream>

void printStepLine(const World& world, const std::vector<Species>& species) {
  std::cout << "ts: " << world.ts;
  for (const Species& s : species) {
    std::cout.precision(3);
    std::cout << "\t " << s.name << ":" << s.particles.size();
  }
  std::cout << std::endl;
}
