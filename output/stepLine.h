#pragma once

#include <vector>

#include "mesh/World.h"
#include "particles/Species.h"

// Prints the per-step progress line on standard output and flushes it:
// "ts: " and the step number, then for each species "\t " + name + ":" + its
// number of macro-particles, e.g. "ts: 40\t O+:120\t e-:150".
// Before each species entry it sets the precision of std::cout to 3 significant
// digits and never restores it: from the first line on, every floating-point
// number the run prints on standard output has 3 significant digits. With no
// species the precision is left as it was.
void printStepLine(const World& world, const std::vector<Species>& species);
