#pragma once

#include <vector>

#include "mesh/World.h"
#include "particles/Species.h"

namespace plasmabox {

// Deposits the particles of species on the mesh. In this order: den_prev takes
// the values of den; den and vel are cleared; each particle scatters its weight
// into den and weight * vel into vel; then per node vel := vel / den (0 where den
// is 0), den := den / node_vol (0 where node_vol is 0), giving the number density
// in m^-3 and the weight-averaged velocity in m/s. The species' current
// density follows from these (currentDensityAt). Particles outside the mesh cells (which
// addParticle and advance never leave in the list) deposit nothing. Runs on
// `threads` OpenMP threads, each reading only the particles it deposits: the
// particles are grouped by tile (binParticles) and a node adds the shares of
// the tiles around it in a fixed tile order, each tile's in list order, so
// the result is the same for any team size. Another list order of the same
// particles changes only the rounding of the sums.
//
// On a slab of a distributed run (every process calls it: it exchanges the
// border planes) the particles are those in this process's cells (see
// migrateParticles); the sums of the planes stored by two processes are added
// up (addGhostPlanesToOwners) before the divisions, so that every stored
// plane, ghost planes included, holds the whole mesh's values. A slab's lower
// ghost plane bounds a cell that holds no particle: its tiles stay empty.
void computeGasProperties(Species& species, int threads);

// world.rho := sum over the species, in list order, of charge * den (C/m^3);
// species with charge exactly 0 are skipped. Node by node, so on a slab every
// stored plane holds the whole mesh's value when den does.
void computeChargeDensity(World& world, const std::vector<Species>& species);

// world.j_total := sum over the species, in list order, of their current
// density (0.5 * charge) * (den + den_prev) * vel in A/m^2, centred in time
// with the leapfrog velocities (currentDensityAt); species with charge exactly
// 0 are skipped.
void computeCurrentDensity(World& world, const std::vector<Species>& species);

}  // namespace plasmabox
