#pragma once

#include <cstdint>

#include "mesh/ElectronFluid.h"
#include "mesh/Grid.h"
#include "mesh/NodeField.h"

namespace plasmabox {

// Nodes of this process's owned planes of grid (ghost planes count on their
// owner) where f holds a NaN or an infinite value; for a vector field, a node
// counts once when any component does. f has the grid's node counts. Reads
// each owned value once, on an OpenMP team of `threads` (at least 1): the
// count does not depend on the team.
int64_t countNonFiniteNodes(const Field& f, const Grid& grid, int threads);
int64_t countNonFiniteNodes(const VectorField& f, const Grid& grid, int threads);

// The same for the density of Boltzmann electrons at the potential phi:
// nodes where fluid.density(phi) is NaN or infinite (exp overflows above
// phi0 + kTe ln(DBL_MAX / ne0)). One pass for the largest finite phi; the
// nodes are evaluated only when that overflows.
int64_t countNonFiniteNodes(const Field& phi, const ElectronFluid& fluid, const Grid& grid, int threads);

}  // namespace plasmabox
