#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/RunSettings.h"
#include "mesh/Grid.h"
#include "mesh/World.h"
#include "particles/Species.h"

namespace plasmabox {

// Warns on standard error when the particles a plane source injects cross
// more than one cell per step at their drift speed (m/s) along the normal of
// face (1 z, 2 x, 3 y; other faces inject nothing): the push then samples the
// field too coarsely along their path. The run goes on.
void warnOnCoarseInjection(const std::string& species, int32_t face, double drift, const Grid& grid, double dt);

// Warns on standard error where the electrostatic model's step or mesh cannot
// resolve the plasma: a pushed species' plasma frequency times dt above 0.2,
// omega_ce * dt above 0.5 in the largest B on the mesh, cells larger than
// three Debye lengths. Every process of a run must call it (the largest B is
// a maximum over them). The run goes on.
void warnOnResolution(const World& world, const std::vector<Species>& species, const RunSettings& settings);

}  // namespace plasmabox
