#pragma once

#include <cstddef>

#include "mesh/NodeField.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// Software prefetch of the mesh cells that particles a few places further down
// the list will touch, for the deposition. Particles sit in the list in
// no spatial order, so every scatter lands on a random cell of a field that may
// be too large for the cache; asking for those lines early lets the memory
// latency of several particles overlap. Only a hint: no value changes.

// How many particles ahead the deposition prefetches: enough to hide a memory
// access (about 100 ns) behind the work on the particles in between.
inline constexpr std::size_t PREFETCH_DISTANCE = 12;

// Lower corner node of the cell around position p, found with reciprocal spacings
// (cheaper than the exact division, and exactness does not matter for a hint),
// clamped to the cells of a field of ni x nj x nk nodes, so the address is always
// inside the field (also for NaN). Returns the node's storage index.
inline std::size_t approximateCellIndex(const Vec3& p, const Vec3& x0, const Vec3& inv_dh, int ni, int nj,
                                        int nk) {
  auto axis = [](double x, double lo, double inv, int n) {
    double f = (x - lo) * inv;
    const double top = n > 1 ? n - 2 : 0;
    if (!(f >= 0.0)) f = 0.0;  // also NaN
    if (f > top) f = top;
    return static_cast<std::size_t>(f);
  };
  const std::size_t i = axis(p.x, x0.x, inv_dh.x, ni);
  const std::size_t j = axis(p.y, x0.y, inv_dh.y, nj);
  const std::size_t k = axis(p.z, x0.z, inv_dh.z, nk);
  return (i * static_cast<std::size_t>(nj) + j) * static_cast<std::size_t>(nk) + k;
}

// Requests the two-node rows (k, k+1) of the four (i, j) lines of the cell whose
// lower corner has storage index c. The caller guarantees c comes from
// approximateCellIndex on the same field counts.
template <class T>
inline void prefetchCell(const NodeField<T>& f, std::size_t c) {
  const std::size_t line_stride = static_cast<std::size_t>(f.nk);
  const std::size_t plane_stride = static_cast<std::size_t>(f.nj) * line_stride;
  if (f.data.empty()) return;
  const std::size_t last = f.data.size() - 1;
  const std::size_t starts[4] = {c, c + line_stride, c + plane_stride, c + plane_stride + line_stride};
  for (std::size_t s : starts) {
    if (s > last) continue;  // degenerate meshes of one node along an axis
    const char* row = reinterpret_cast<const char*>(f.data.data() + s);
    __builtin_prefetch(row);
    if (s < last) __builtin_prefetch(row + 2 * sizeof(T) - 1);  // the row may straddle two cache lines
  }
}

}  // namespace plasmabox
