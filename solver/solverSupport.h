#pragma once

#include <cstdint>

#include "mesh/Grid.h"

namespace plasmabox {

// Small pieces shared by the solvers: the unknown count of a mesh and the
// iteration limit.

// ni*nj*nk as the 32-bit unknown count. Throws std::invalid_argument naming
// `who` when a count is below `min_nodes`, and std::out_of_range when the
// product does not fit the 32-bit numbering u = i + j*ni + k*ni*nj.
int32_t checkedUnknownCount(const Grid& grid, int32_t min_nodes, const char* who);

// Sweep limit for a max_it argument: a negative limit allows no sweep. (Read as
// an unsigned count it would mean about four billion sweeps, i.e. a run that
// never ends.)
inline uint32_t iterationLimit(int32_t max_it) {
  return max_it > 0 ? static_cast<uint32_t>(max_it) : 0u;
}

}  // namespace plasmabox
