#pragma once

#include <cstdint>

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

}  // namespace plasmabox
