#pragma once

#include <vector>

#include "mesh/World.h"
#include "particles/Moments.h"
#include "particles/Species.h"

namespace plasmabox {

// Starts a deposition of `moments` for species: den_prev takes the values of
// den, den (and vel for Moments::FULL) is cleared, and nothing is deposited
// yet. advance calls it when asked to deposit as it pushes; the caller of
// computeGasProperties need not.
void beginDeposition(Species& species, Moments moments, int threads);

// Deposits the particles of species on the mesh and forms the node values:
// each particle scatters its weight into den and, for Moments::FULL, weight
// times velocity into vel; then per node den := den / node_vol (0 where
// node_vol is 0), the number density in m^-3, and for FULL vel := vel / (summed
// weight) (0 where there is none), the weight-averaged velocity in m/s. With
// Moments::DENSITY, vel keeps the values of the last FULL deposition. den_prev
// holds den of the deposition before. The species' current density follows
// from these (currentDensityAt).
//
// When the last advance was asked to deposit the same moments, it has begun
// this deposition (the particles that stayed near their tile are in the sums)
// and this call adds the rest: particles that moved further, and those
// appended or received since. Otherwise (advance without deposition, another
// moments, particles only loaded) it deposits every particle. Appended
// particles are first put in their tiles (placeAppended); particles outside
// this process's cells deposit nothing.
//
// Runs on `threads` OpenMP threads. A node adds the shares of the tiles
// around it colour by colour, each tile's in list order (those the push
// deposited first), so the result is the same for any team size; another list
// order of the same particles changes only the rounding of the sums, and the
// density is the same bits for both moments.
//
// On a slab of a distributed run (every process calls it: it exchanges the
// border planes) the sums of the planes stored by two processes are added up
// (addGhostPlanesToOwners) before the divisions, so that every stored plane,
// ghost planes included, holds the whole mesh's values.
void computeGasProperties(Species& species, int threads, Moments moments = Moments::FULL);

// world.rho := sum over the species, in list order, of charge * den (C/m^3);
// species with charge exactly 0 are skipped. Node by node, so on a slab every
// stored plane holds the whole mesh's value when den does.
void computeChargeDensity(World& world, const std::vector<Species>& species);

// world.j_total := sum over the species, in list order, of their current
// density (0.5 * charge) * (den + den_prev) * vel in A/m^2, centred in time
// with the leapfrog velocities (currentDensityAt); species with charge exactly
// 0 are skipped. Needs vel of this step: the last deposition Moments::FULL.
void computeCurrentDensity(World& world, const std::vector<Species>& species);

}  // namespace plasmabox
