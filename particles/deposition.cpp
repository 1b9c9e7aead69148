#include "particles/deposition.h"

#include <cstddef>

#include "particles/prefetch.h"

void computeGasProperties(Species& species) {
  const World& world = *species.world;
  // den_prev takes den's values by taking its storage; den is cleared either way.
  species.den_prev.data.swap(species.den.data);
  species.den.clear();
  species.vel.clear();

  // Sums of weight and of weight times velocity (momentum per unit mass) per node.
  const Particle* const particles = species.particles.data();
  const std::size_t n = species.particles.size();
  const Vec3 inv_dh{1.0 / world.dh.x, 1.0 / world.dh.y, 1.0 / world.dh.z};  // for prefetch hints only
  for (std::size_t q = 0; q < n; ++q) {
    if (q + PREFETCH_DISTANCE < n) {
      const std::size_t c = approximateCellIndex(particles[q + PREFETCH_DISTANCE].pos, world.x0, inv_dh,
                                                 world.ni, world.nj, world.nk);
      prefetchCell(species.den, c);
      prefetchCell(species.vel, c);
    }
    const Particle& p = particles[q];
    const Vec3 l = world.toLogical(p.pos);
    scatter(species.den, l, p.weight);
    scatter(species.vel, l, p.weight * p.vel);
  }

  // One pass over the nodes does the three node-wise steps: each reads and writes
  // only its own node, in the same order and with the same operations as three
  // separate passes would.
  double* const den = species.den.data.data();
  const double* const den_prev = species.den_prev.data.data();
  const double* const node_vol = world.node_vol.data.data();
  Vec3* const vel = species.vel.data.data();
  Vec3* const j = species.j.data.data();
  const double half_charge = 0.5 * species.charge;  // C
  const std::size_t nodes = species.den.size();
  for (std::size_t q = 0; q < nodes; ++q) {
    const double w = den[q];  // summed weight at the node
    if (w != 0.0)
      vel[q] = {vel[q].x / w, vel[q].y / w, vel[q].z / w};
    else
      vel[q] = {};
    den[q] = node_vol[q] != 0.0 ? w / node_vol[q] : 0.0;
    const double s = half_charge * (den[q] + den_prev[q]);  // C/m^3, mean charge density
    j[q] = {s * vel[q].x, s * vel[q].y, s * vel[q].z};
  }
}

void computeChargeDensity(World& world, const std::vector<Species>& species) {
  world.rho.clear();
  double* const rho = world.rho.data.data();
  const std::size_t nodes = world.rho.size();
  for (const Species& s : species) {
    if (s.charge == 0.0) continue;
    const double* const den = s.den.data.data();
    for (std::size_t q = 0; q < nodes; ++q) rho[q] = rho[q] + s.charge * den[q];
  }
}

void computeCurrentDensity(World& world, const std::vector<Species>& species) {
  world.j_total.clear();
  for (const Species& s : species) {
    if (s.charge == 0.0) continue;
    world.j_total += s.j;
  }
}
