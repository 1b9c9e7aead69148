#pragma once

#include <atomic>
#include <cstdint>

#include "mesh/Grid.h"

namespace plasmabox {

// Small pieces shared by the solvers: the unknown count of a mesh, the
// iteration limit and race-free access to unknowns that other threads update
// during an in-place sweep.

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

// Relaxed atomic load and store of a shared unknown. In the in-place parallel
// sweeps a thread may read a neighbour that another thread is writing; the
// algorithm accepts either value, and on x86-64 these compile to plain moves.
inline double loadRelaxed(double& v) { return std::atomic_ref<double>(v).load(std::memory_order_relaxed); }
inline void storeRelaxed(double& v, double value) {
  std::atomic_ref<double>(v).store(value, std::memory_order_relaxed);
}

}  // namespace plasmabox
