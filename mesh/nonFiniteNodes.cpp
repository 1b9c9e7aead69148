#include "mesh/nonFiniteNodes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

namespace plasmabox {

namespace {

// The owned nodes' index range in a field of the grid's counts.
struct NodeRange {
  std::size_t begin, end;
};

NodeRange ownedNodes(const Grid& g, std::size_t size) {
  const std::size_t plane = static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk);
  return {std::min(size, plane * static_cast<std::size_t>(g.ownedBegin())),
          std::min(size, plane * static_cast<std::size_t>(g.ownedEnd()))};
}

// |v| <= DBL_MAX is false exactly for NaN and the infinities, and, unlike a
// call, leaves the loop free to run on vector instructions.
inline bool finite(double v) { return std::fabs(v) <= DBL_MAX; }

}  // namespace

int64_t countNonFiniteNodes(const Field& f, const Grid& grid, int threads) {
  const NodeRange r = ownedNodes(grid, f.size());
  const double* v = f.data.data();
  int64_t bad = 0;
#pragma omp parallel for simd num_threads(std::max(threads, 1)) schedule(static) reduction(+ : bad)
  for (std::size_t n = r.begin; n < r.end; ++n) bad += !finite(v[n]);
  return bad;
}

int64_t countNonFiniteNodes(const VectorField& f, const Grid& grid, int threads) {
  const NodeRange r = ownedNodes(grid, f.size());
  const Vec3* v = f.data.data();
  int64_t bad = 0;
#pragma omp parallel for simd num_threads(std::max(threads, 1)) schedule(static) reduction(+ : bad)
  for (std::size_t n = r.begin; n < r.end; ++n) bad += !(finite(v[n].x) & finite(v[n].y) & finite(v[n].z));
  return bad;
}

int64_t countNonFiniteNodes(const Field& phi, const ElectronFluid& fluid, const Grid& grid, int threads) {
  const NodeRange r = ownedNodes(grid, phi.size());
  const double* v = phi.data.data();
  const int team = std::max(threads, 1);
  double top = -DBL_MAX;  // V; a NaN potential is counted with phi, not here
#pragma omp parallel for simd num_threads(team) schedule(static) reduction(max : top)
  for (std::size_t n = r.begin; n < r.end; ++n) top = v[n] > top ? v[n] : top;
  if (r.begin == r.end || finite(fluid.density(top))) return 0;
  int64_t bad = 0;
#pragma omp parallel for num_threads(team) schedule(static) reduction(+ : bad)
  for (std::size_t n = r.begin; n < r.end; ++n) bad += !std::isnan(v[n]) && !finite(fluid.density(v[n]));
  return bad;
}

}  // namespace plasmabox
