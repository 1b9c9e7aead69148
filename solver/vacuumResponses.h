#pragma once

#include <cstdint>
#include <vector>

#include "mesh/World.h"
#include "solver/SolverSettings.h"

namespace plasmabox {

// The potentials and charges of the held nodes' groups in vacuum, the base of
// the floating conductors' superposition.
struct VacuumResponses {
  std::vector<Field> unit;          // per group g: the potential with g's nodes at 1 V, all other held nodes at 0 V
  std::vector<double> capacitance;  // F, count x count: [h * count + g] the charge on group h (gaussCharges) in unit[g]
};

// One Laplace solve per group of labels (0 .. count - 1; -1 for none): the
// nodes of that group at 1 V, every other held node (object_id >= 1, and the
// walls when they are grounded) at 0 V, no charge, by the linear Poisson
// solve of settings (method 0, multigrid or relaxation as chosen; tolerance
// tightened so that the unit potentials are exact to about 1e-6 V). world.phi
// and world.rho are left as they were. Every process of a distributed run
// must call it together.
VacuumResponses vacuumResponses(World& world, const PotentialSettings& settings, const IntField& labels, int32_t count);

}  // namespace plasmabox
