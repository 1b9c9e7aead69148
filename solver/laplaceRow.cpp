#include "solver/laplaceRow.h"

#include "solver/vectorAlgebra.h"

namespace plasmabox {

int32_t assembleLaplaceRow(SparseMatrix& A, const Grid& grid, int32_t i, int32_t j, int32_t k) {
  const int32_t ni = grid.ni, nj = grid.nj, nk = grid.nk;
  const int32_t nij = ni * nj;
  const auto u = static_cast<int32_t>(unknownIndex(i, j, k, ni, nj));
  const double idx = 1.0 / grid.dh.x, idy = 1.0 / grid.dh.y, idz = 1.0 / grid.dh.z;
  // The walls along i are the whole box's: on a slab of a distributed mesh a
  // ghost plane is a neighbour, not a wall.
  if (grid.i0 + i == 0) {
    A(u, u) = idx;
    A(u, u + 1) = -idx;
  } else if (grid.i0 + i == grid.gni - 1) {
    A(u, u) = idx;
    A(u, u - 1) = -idx;
  } else if (j == 0) {
    A(u, u) = idy;
    A(u, u + ni) = -idy;
  } else if (j == nj - 1) {
    A(u, u) = idy;
    A(u, u - ni) = -idy;
  } else if (k == 0) {
    A(u, u) = idz;
    A(u, u + nij) = -idz;
  } else if (k == nk - 1) {
    A(u, u) = idz;
    A(u, u - nij) = -idz;
  } else {
    const double idx2 = idx * idx, idy2 = idy * idy, idz2 = idz * idz;
    A(u, u - nij) = idz2;
    A(u, u - ni) = idy2;
    A(u, u - 1) = idx2;
    A(u, u) = -2.0 * (idx2 + idy2 + idz2);
    A(u, u + 1) = idx2;
    A(u, u + ni) = idy2;
    A(u, u + nij) = idz2;
    return NODE_INTERIOR;
  }
  return NODE_WALL;
}

}  // namespace plasmabox
