#pragma once

#include <vector>

#include "mesh/World.h"
#include "particles/Species.h"

namespace plasmabox {

// Prints the per-step progress line on standard output and flushes it:
// "ts: " and the step number, then for each species "\t " + name + ":" + its
// number of macro-particles, e.g. "ts: 40\t O+:120\t e-:150". Only integers:
// the stream's format is neither read nor changed.
// In a distributed run every process calls it together: the counts are
// summed over the processes and rank 0 alone prints.
void printStepLine(const World& world, const std::vector<Species>& species);

}  // namespace plasmabox
