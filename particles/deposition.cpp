#include "particles/deposition.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "particles/prefetch.h"

namespace plasmabox {

namespace {

// How many threads of a team of team threads own a slab: never more than
// there are node planes.
int slabOwners(int team, int ni) { return std::max(1, std::min(team, ni)); }

// First node planes of the slabs: starts[t] .. starts[t+1] - 1 belong to
// owner t (owners + 1 entries, starts[0] = 0, starts[owners] = ni). The
// boundaries share the deposited weight of the previous step (den_prev, per
// plane) evenly, so that owners get about equal numbers of particles even when
// the plasma fills only part of the box; without a previous step the planes are
// shared evenly. The boundaries only divide the work: any choice gives the
// same sums.
std::vector<int> slabStarts(const Field& den_prev, int owners) {
  const int ni = den_prev.ni;
  std::vector<int> starts(static_cast<std::size_t>(owners) + 1, ni);
  starts[0] = 0;
  std::vector<double> plane_weight(static_cast<std::size_t>(ni), 0.0);
  const std::size_t plane = static_cast<std::size_t>(den_prev.nj) * static_cast<std::size_t>(den_prev.nk);
  double total = 0.0;
  for (int i = 0; i < ni; ++i) {
    const double* d = den_prev.data.data() + static_cast<std::size_t>(i) * plane;
    double sum = 0.0;
    for (std::size_t n = 0; n < plane; ++n) sum += std::fabs(d[n]);
    plane_weight[static_cast<std::size_t>(i)] = sum;
    total += sum;
  }
  if (!(total > 0.0) || !std::isfinite(total)) {
    const int q = ni / owners, r = ni % owners;
    for (int t = 1; t < owners; ++t) starts[static_cast<std::size_t>(t)] = t * q + std::min(t, r);
    return starts;
  }
  double running = 0.0;
  int t = 1;
  for (int i = 0; i < ni && t < owners; ++i) {
    running += plane_weight[static_cast<std::size_t>(i)];
    while (t < owners && running >= total * t / owners) starts[static_cast<std::size_t>(t++)] = i + 1;
  }
  return starts;
}

// Adds the particle's shares to the nodes of its cell whose plane index lies in
// [lo, hi): den gets weight and vel weight * velocity, each share computed
// exactly as scatter computes it, so a node gets the same addends whichever
// slab holds it.
void scatterIntoSlab(Field& den, VectorField& vel, const Vec3& l, double weight, const Vec3& momentum, int lo,
                     int hi) {
  const CellWeights c = cellWeights(l);
  for (int a = 0; a < 2; ++a) {
    const int i = c.i + a;
    if (i < lo || i >= hi) continue;
    for (int b = 0; b < 2; ++b) {
      double* d = den.data.data() + den.index(i, c.j + b, c.k);
      Vec3* v = vel.data.data() + vel.index(i, c.j + b, c.k);
      const double wab = c.wx[a] * c.wy[b];
      for (int e = 0; e < 2; ++e) {
        d[e] += wab * c.wz[e] * weight;
        const double w = wab * c.wz[e];
        v[e].x += w * momentum.x;
        v[e].y += w * momentum.y;
        v[e].z += w * momentum.z;
      }
    }
  }
}

}  // namespace

void computeGasProperties(Species& species, int threads) {
  const World& world = *species.world;
  const Grid& grid = world.grid;
  // den_prev takes den's values by taking its storage; den is cleared below.
  species.den_prev.data.swap(species.den.data);

  const Particle* const particles = species.particles.data();
  const std::size_t n = species.particles.size();
  const int ni = species.den.ni;
  const Vec3 inv_dh{1.0 / grid.dh.x, 1.0 / grid.dh.y, 1.0 / grid.dh.z};  // for prefetch hints only
  Field& den_sum = species.den;
  VectorField& vel_sum = species.vel;
  const std::size_t plane = static_cast<std::size_t>(den_sum.nj) * static_cast<std::size_t>(den_sum.nk);

  // Sums of weight and of weight times velocity (momentum per unit mass) per
  // node. Each thread owns a slab of node planes (a range of i), clears it, and
  // walks the whole particle list in order, adding the shares that fall in its
  // slab. Every node thus receives the same addends in the same (list) order
  // as in one serial pass, whatever the team size: the sums are bit-identical.
  const int team = threads > 0 ? threads : 1;
  const int owners = slabOwners(team, ni);
  const std::vector<int> starts = slabStarts(species.den_prev, owners);
#pragma omp parallel num_threads(team)
  {
    const int t = omp_get_thread_num();
    // Owners beyond the team (the runtime may give fewer threads) pass their
    // slabs to the last thread; threads beyond the owners get an empty slab.
    const int given = omp_get_num_threads();
    const int first_slab = t < owners ? t : owners;
    const int last_slab = t == given - 1 ? owners : std::min(t + 1, owners);
    const int lo = starts[static_cast<std::size_t>(first_slab)];
    const int hi = std::max(lo, starts[static_cast<std::size_t>(last_slab)]);
    const std::size_t first = static_cast<std::size_t>(lo) * plane, last = static_cast<std::size_t>(hi) * plane;
    std::fill(den_sum.data.begin() + static_cast<std::ptrdiff_t>(first),
              den_sum.data.begin() + static_cast<std::ptrdiff_t>(last), 0.0);
    std::fill(vel_sum.data.begin() + static_cast<std::ptrdiff_t>(first),
              vel_sum.data.begin() + static_cast<std::ptrdiff_t>(last), Vec3{});
    // Planes lo - 1 .. hi - 1 hold the lower corners of the cells that reach the slab.
    const double cell_lo = static_cast<double>(lo) - 1.0, cell_hi = static_cast<double>(hi);
    if (lo < hi) {
      for (std::size_t q = 0; q < n; ++q) {
        if (q + PREFETCH_DISTANCE < n) {
          const std::size_t c = approximateCellIndex(particles[q + PREFETCH_DISTANCE].pos, grid.x0, inv_dh,
                                                     grid.ni, grid.nj, grid.nk);
          if (c + plane >= first && c < last) {
            prefetchCell(den_sum, c);
            prefetchCell(vel_sum, c);
          }
        }
        const Particle& p = particles[q];
        // The cell's lower corner plane is l.x truncated (l.x >= 0): the cell
        // reaches the slab when that plane is lo - 1 .. hi - 1. The other two
        // logical coordinates are needed only then.
        const double lx = (p.pos.x - grid.x0.x) / grid.dh.x;
        if (!(lx >= cell_lo && lx < cell_hi)) continue;
        const Vec3 l{lx, (p.pos.y - grid.x0.y) / grid.dh.y, (p.pos.z - grid.x0.z) / grid.dh.z};  // toLogical
        scatterIntoSlab(den_sum, vel_sum, l, p.weight, p.weight * p.vel, lo, hi);
      }
    }
  }

  // The node-wise steps: each node reads and writes only itself, in the same
  // order and with the same operations as three separate passes would.
  double* const den = species.den.data.data();
  const double* const den_prev = species.den_prev.data.data();
  const double* const node_vol = grid.node_vol.data.data();
  Vec3* const vel = species.vel.data.data();
  Vec3* const j = species.j.data.data();
  const double half_charge = 0.5 * species.charge;  // C
  const auto nodes = static_cast<int64_t>(species.den.size());
#pragma omp parallel for schedule(static) num_threads(team)
  for (int64_t q = 0; q < nodes; ++q) {
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

}  // namespace plasmabox
