#pragma once

#include <cstddef>

#include "mesh/DoublePair.h"
#include "mesh/NodeField.h"
#include "particles/Particle.h"

namespace plasmabox {

// The deposition of one particle into the eight nodes of its cell c (weights
// from cellWeights): its weight times the node's trilinear weight into den
// and, for depositMoments, weight times velocity times the node's weight
// into vel. The two nodes of a cell edge along k are neighbours in memory and
// are updated as a pair; every lane is rounded as the scalar sum would be.
// depositDensity adds to den exactly what depositMoments adds. f: any field of
// the mesh (for the node strides).

inline void depositDensity(double* den, const Field& f, const CellWeights& c, double weight) {
  const DoublePair wz = c.wz;
  const std::size_t line = static_cast<std::size_t>(f.nk), plane = static_cast<std::size_t>(f.nj) * line;
  const std::size_t base = f.index(c.i, c.j, c.k);
  const std::size_t offset[2][2] = {{0, line}, {plane, plane + line}};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      double* d = den + base + offset[a][b];
      const DoublePair w = (c.wx[a] * c.wy[b]) * wz;  // the weights of the nodes k and k + 1
      storePair(d, loadPair(d) + w * weight);
    }
}

inline void depositMoments(double* den, Vec3* vel, const Field& f, const CellWeights& c, const Particle& p) {
  const double m0 = p.weight;
  const Vec3 m = p.weight * p.vel;  // momentum per unit mass (m/s times weight)
  const DoublePair wz = c.wz;
  const std::size_t line = static_cast<std::size_t>(f.nk), plane = static_cast<std::size_t>(f.nj) * line;
  const std::size_t base = f.index(c.i, c.j, c.k);
  const std::size_t offset[2][2] = {{0, line}, {plane, plane + line}};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      const std::size_t at = base + offset[a][b];
      const DoublePair w = (c.wx[a] * c.wy[b]) * wz;
      double* d = den + at;
      double* v = &vel[at].x;  // x, y, z of node k, then of node k + 1
      const DoublePair w0 = {w[0], w[0]}, w01 = {w[0], w[1]}, w1 = {w[1], w[1]};
      storePair(d, loadPair(d) + w * m0);
      storePair(v, loadPair(v) + w0 * DoublePair{m.x, m.y});
      storePair(v + 2, loadPair(v + 2) + w01 * DoublePair{m.z, m.x});
      storePair(v + 4, loadPair(v + 4) + w1 * DoublePair{m.y, m.z});
    }
}

}  // namespace plasmabox
