#pragma once
// The potentials a test reads around a sphere in a run: near it, on it.

#include <cmath>
#include <cstdint>

#include "mesh/World.h"
#include "mesh/NodeField.h"

namespace plasmabox {

// The mean potential of the nodes at least `distance` from centre.
inline double meanPotentialBeyond(const World& w, const Vec3& centre, double distance) {
  double sum = 0.0;
  int64_t n = 0;
  for (int i = 0; i < w.grid.ni; ++i)
    for (int j = 0; j < w.grid.nj; ++j)
      for (int k = 0; k < w.grid.nk; ++k) {
        const Vec3 d = w.grid.nodePosition(i, j, k) - centre;
        if (dot(d, d) >= distance * distance) sum += w.phi(i, j, k), ++n;
      }
  return sum / static_cast<double>(n);
}

// The mean potential interpolated over many points of a sphere's surface.
inline double surfacePotential(const World& w, const Vec3& centre, double radius) {
  double sum = 0.0;
  const int n = 2000;
  for (int q = 0; q < n; ++q) {  // a Fibonacci lattice: evenly spread points
    const double z = 1.0 - (2.0 * q + 1.0) / n, r = std::sqrt(1.0 - z * z), turn = q * 2.399963229728653;
    const Vec3 p = centre + radius * Vec3{r * std::cos(turn), r * std::sin(turn), z};
    const CellWeights c = cellWeights(w.grid.toLogical(p));
    for (int a = 0; a < 2; ++a)
      for (int b = 0; b < 2; ++b)
        for (int e = 0; e < 2; ++e) sum += c.wx[a] * c.wy[b] * c.wz[e] * w.phi(c.i + a, c.j + b, c.k + e) / n;
  }
  return sum;
}

}  // namespace plasmabox
