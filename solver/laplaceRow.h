#pragma once

#include <cstdint>

#include "mesh/Grid.h"
#include "solver/SparseMatrix.h"

namespace plasmabox {

// Class of an unknown, as stored in a solver's node_type.
inline constexpr int32_t NODE_INTERIOR = 0;  // seven-point Laplacian row; charge and electrons act here
inline constexpr int32_t NODE_WALL = 1;      // first-order zero-normal-gradient row
inline constexpr int32_t NODE_FIXED = 2;     // identity row: object node (or pinned node)

// Writes row u = i + j*ni + k*ni*nj of the Laplace operator of a free node
// into A (whose row must be empty) and returns its class. On a wall the row
// says (phi_wall - phi_inner) / h = 0; edges and corners take the first rule
// that matches (i = 0, i = ni-1, j = 0, ... in that order; along i the box's
// walls, global planes 0 and gni-1, so a slab's ghost planes are no walls and
// the caller must not assemble rows there). Inside it is the
// seven-point stencil; the order of assignment is the slot order, which fixes
// the summation order of every product with A. Spacings come from grid.dh.
int32_t assembleLaplaceRow(SparseMatrix& A, const Grid& grid, int32_t i, int32_t j, int32_t k);

}  // namespace plasmabox
