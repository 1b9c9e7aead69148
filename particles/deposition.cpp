#include "particles/deposition.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/DoublePair.h"
#include "mesh/ghostPlanes.h"
#include "particles/currentDensity.h"
#include "particles/ParticleBins.h"
#include "particles/ParticleTiles.h"
#include "particles/TileGrid.h"

namespace plasmabox {

namespace {

// Particles whose logical coordinates the deposition computes together.
constexpr uint32_t DEPOSIT_BLOCK = 32;

// Movers from which on the whole team bins and deposits them.
constexpr std::size_t MOVERS_FOR_A_TEAM = 1 << 15;

// Adds one particle's shares to the eight nodes of its cell: weight * w to den
// and weight * vel * w to vel, w the trilinear weight of the node, each share
// computed as scatter computes it (the pairs only group the same products).
inline void depositParticle(double* den, Vec3* vel, const Field& f, const CellWeights& c, const Particle& p) {
  const double m0 = p.weight;
  const Vec3 m = p.weight * p.vel;  // momentum per unit mass (m/s times weight)
  const DoublePair wz = {c.wz[0], c.wz[1]};
  const std::size_t line = static_cast<std::size_t>(f.nk), plane = static_cast<std::size_t>(f.nj) * line;
  const std::size_t base = f.index(c.i, c.j, c.k);
  const std::size_t offset[2][2] = {{0, line}, {plane, plane + line}};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      const std::size_t at = base + offset[a][b];
      const DoublePair w = (c.wx[a] * c.wy[b]) * wz;  // the weights of the nodes k and k + 1
      double* d = den + at;
      double* v = &vel[at].x;  // x, y, z of node k, then of node k + 1
      const DoublePair w0 = {w[0], w[0]}, w01 = {w[0], w[1]}, w1 = {w[1], w[1]};
      storePair(d, loadPair(d) + w * m0);
      storePair(v, loadPair(v) + w0 * DoublePair{m.x, m.y});
      storePair(v + 2, loadPair(v + 2) + w01 * DoublePair{m.z, m.x});
      storePair(v + 4, loadPair(v + 4) + w1 * DoublePair{m.y, m.z});
    }
}

// Lowest cell (i, j, k) of tile number `tile` of colour `colour`.
void tileCorner(const TileGrid& t, uint32_t tile, int colour, int32_t corner[3]) {
  const uint32_t within = tile - t.colour_start[colour];
  const auto ny = static_cast<uint32_t>(t.half[1][(colour >> 1) & 1]);
  const auto nz = static_cast<uint32_t>(t.half[2][(colour >> 2) & 1]);
  const uint32_t tile_xyz[3] = {within / (ny * nz), (within / nz) % ny, within % nz};
  for (int a = 0; a < 3; ++a)
    corner[a] = (2 * static_cast<int32_t>(tile_xyz[a]) + ((colour >> a) & 1)) << t.shift;
}

// The ranges the last sort left, limited to the present list of n particles
// (all empty when there was no sort): tiles.count() + 1 entries, the last one
// the end of the claimed part; every particle after it is a mover.
void claimRanges(ParticleTiles& pt, const TileGrid& tiles, std::size_t n) {
  const std::size_t count = static_cast<std::size_t>(tiles.count()) + 1;
  pt.claimed.assign(count, 0);
  if (pt.sorted_start.size() != count + 1) return;
  for (std::size_t b = 0; b < count; ++b)
    pt.claimed[b] = static_cast<uint32_t>(std::min<std::size_t>(pt.sorted_start[b], n));
}

// Per node, the summed weight and momentum become the number density
// (m^-3) and the mean velocity (m/s). Shared out over the threads of the
// enclosing team; each node reads and writes only itself.
void sumsToMeans(double* den, Vec3* vel, const double* node_vol, int64_t nodes) {
#pragma omp for schedule(static)
  for (int64_t q = 0; q < nodes; ++q) {
    const double w = den[q];  // summed weight at the node
    if (w != 0.0)
      vel[q] = {vel[q].x / w, vel[q].y / w, vel[q].z / w};
    else
      vel[q] = {};
    den[q] = node_vol[q] != 0.0 ? w / node_vol[q] : 0.0;
  }
}

}  // namespace

void computeGasProperties(Species& species, int threads) {
  const Grid& grid = species.world->grid;
  // den_prev takes den's values by taking its storage; den is cleared below.
  species.den_prev.data.swap(species.den.data);

  const std::size_t n = species.particles.size();
  if (n >= std::numeric_limits<uint32_t>::max())
    throw std::length_error("computeGasProperties: " + std::to_string(n) + " particles in species \"" +
                            species.name + "\", more than 2^32 - 2");
  const int team = threads > 0 ? threads : 1;
  const TileGrid tiles = tileGrid(grid);
  ParticleTiles& pt = species.tiles;
  claimRanges(pt, tiles, n);
  pt.thread_movers.resize(static_cast<std::size_t>(team));
  pt.mover_end.assign(8 * static_cast<std::size_t>(team), 0);
  pt.mover_dest.assign(8 * static_cast<std::size_t>(team), 0);
  uint32_t* const mover_end = pt.mover_end.data();
  uint32_t* const mover_dest = pt.mover_dest.data();

  const Particle* const particles = species.particles.data();
  const Field& den_field = species.den;
  double* const den = species.den.data.data();
  Vec3* const vel = species.vel.data.data();
  const auto nodes = static_cast<int64_t>(species.den.size());
  const uint32_t* const claimed = pt.claimed.data();
  const std::size_t claimed_end = claimed[tiles.count()];
  std::vector<uint32_t>& all_movers = pt.movers;

  // Sums of weight and of weight times velocity per node. The tiles of one
  // colour share no node, so a thread deposits its tiles straight into the
  // fields. Each tile reads the list range the last sort gave it; a particle
  // found outside that tile (it moved, or came into the range since) is a
  // mover, deposited afterwards from a list of its own. A node thus receives
  // the particles of the (at most eight) tiles around it colour by colour,
  // each tile's in list order, then the movers the same way: which thread
  // handles which tile does not change the sums.
#pragma omp parallel num_threads(team)
  {
#pragma omp for schedule(static)
    for (int64_t q = 0; q < nodes; ++q) {
      den[q] = 0.0;
      vel[q] = {};
    }
    const int t = omp_get_thread_num(), given = omp_get_num_threads();
    std::vector<uint32_t>& movers = pt.thread_movers[static_cast<std::size_t>(t)];
    movers.clear();
    for (int colour = 0; colour < 8; ++colour) {
      // A colour without particles needs no pass (every thread sees the same counts).
      if (claimed[tiles.colour_start[colour]] == claimed[tiles.colour_start[colour + 1]]) {
        mover_end[colour * given + t] = static_cast<uint32_t>(movers.size());
        continue;
      }
      const BinRange mine = threadShare(claimed, tiles.colour_start[colour], tiles.colour_start[colour + 1], t, given);
      for (uint32_t tile = mine.lo; tile < mine.hi; ++tile) {
        int32_t lo[3];
        tileCorner(tiles, tile, colour, lo);
        for (uint32_t first = claimed[tile], end = claimed[tile + 1]; first < end; first += DEPOSIT_BLOCK) {
          const Particle* const p = particles + first;
          const int m = static_cast<int>(std::min<uint32_t>(DEPOSIT_BLOCK, end - first));
          // Logical coordinates a block at a time, so that neighbouring
          // particles share the vector instructions of the divisions.
          Vec3 l[DEPOSIT_BLOCK];
          for (int b = 0; b < m; ++b) l[b] = grid.toLogical(p[b].pos);
          for (int b = 0; b < m; ++b) {
            int32_t i, j, k;
            if (cellOf(tiles, l[b], i, j, k) && ((i ^ lo[0]) | (j ^ lo[1]) | (k ^ lo[2])) >> tiles.shift == 0)
              depositParticle(den, vel, den_field, cellWeights(l[b]), p[b]);
            else
              movers.push_back(first + static_cast<uint32_t>(b));
          }
        }
      }
      mover_end[colour * given + t] = static_cast<uint32_t>(movers.size());
#pragma omp barrier
    }
    // The movers found in the claimed ranges, in list order: colour by colour
    // the ranges run up the list, within a colour thread by thread. (The
    // barrier: a skipped last colour has none, and every thread's counts
    // must be in before they are added up.)
#pragma omp barrier
#pragma omp single
    {
      uint32_t at = 0;
      for (int c = 0; c < 8; ++c)
        for (int u = 0; u < given; ++u) {
          mover_dest[c * given + u] = at;
          at += mover_end[c * given + u] - (c == 0 ? 0 : mover_end[(c - 1) * given + u]);
        }
      all_movers.resize(at);
    }
    for (int c = 0; c < 8; ++c) {
      const uint32_t from = c == 0 ? 0 : mover_end[(c - 1) * given + t], to = mover_end[c * given + t];
      std::copy(movers.begin() + from, movers.begin() + to, all_movers.begin() + mover_dest[c * given + t]);
    }
  }

  // Then every mover goes to its tile: those of the claimed ranges by index,
  // and the particles after the ranges (all of them before the first sort)
  // copied tile by tile, which streams through memory where reading them by
  // index would miss the cache on every one. A tile takes its movers from the
  // ranges first, then those of the tail: the list order.
  // Few movers (the usual case between sorts) are handled by one thread:
  // the same order, so the same sums, without a dozen barriers.
  const std::span<const Particle> tail(particles + claimed_end, n - claimed_end);
  const int mover_team = all_movers.size() + tail.size() < MOVERS_FOR_A_TEAM ? 1 : team;
  ParticleBins& bins = pt.bins;
  binParticleSubset(bins, tiles, grid, species.particles, all_movers, mover_team);
  Particle* const tail_by_tile = pt.spare.room(tail.size());
  copyByTile(pt.tail_bins, tiles, grid, tail, tail_by_tile, mover_team);
  const std::size_t bin_count = static_cast<std::size_t>(tiles.count()) + 2;
  pt.mover_start.resize(bin_count);
  for (std::size_t b = 0; b < bin_count; ++b) pt.mover_start[b] = bins.start[b] + pt.tail_bins.start[b];

  const uint32_t* const order = bins.order.data();
  const uint32_t* const start = bins.start.data();
  const uint32_t* const tail_start = pt.tail_bins.start.data();
  const uint32_t* const both = pt.mover_start.data();
  const double* const node_vol = grid.node_vol.data.data();
  const bool distributed = species.world->part.distributed();
#pragma omp parallel num_threads(team)
  {
    const int t = omp_get_thread_num(), given = mover_team == 1 ? 1 : omp_get_num_threads();
    for (int colour = 0; colour < 8; ++colour) {
      if (both[tiles.colour_start[colour]] == both[tiles.colour_start[colour + 1]]) continue;
      if (t >= given) break;  // one thread deposits few movers, with no barrier between colours
      const BinRange mine = threadShare(both, tiles.colour_start[colour], tiles.colour_start[colour + 1], t, given);
      for (uint32_t tile = mine.lo; tile < mine.hi; ++tile) {
        for (uint32_t q = start[tile], end = start[tile + 1]; q < end; ++q) {
          const Particle& p = particles[order[q]];
          depositParticle(den, vel, den_field, cellWeights(grid.toLogical(p.pos)), p);
        }
        for (uint32_t q = tail_start[tile], end = tail_start[tile + 1]; q < end; ++q) {
          const Particle& p = tail_by_tile[q];
          depositParticle(den, vel, den_field, cellWeights(grid.toLogical(p.pos)), p);
        }
      }
      if (given > 1) {
#pragma omp barrier
      }
    }
    // The node-wise steps: each node reads and writes only itself, once all
    // movers are in. On a slab the sums first need the neighbours' shares.
    if (!distributed) {
#pragma omp barrier
      sumsToMeans(den, vel, node_vol, nodes);
    }
  }
  if (distributed) {
    // The cells of a slab's last owned plane deposit into the ghost plane
    // above, which stands for the upper neighbour's first plane: every stored
    // plane must hold the whole sums before they are divided.
    addGhostPlanesToOwners(species.world->part, species.den);
    addGhostPlanesToOwners(species.world->part, species.vel);
#pragma omp parallel num_threads(team)
    sumsToMeans(den, vel, node_vol, nodes);
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
  Vec3* const j = world.j_total.data.data();
  const std::size_t nodes = world.j_total.size();
  for (const Species& s : species) {
    if (s.charge == 0.0) continue;
    for (std::size_t q = 0; q < nodes; ++q) j[q] += currentDensityAt(s, q);
  }
}

}  // namespace plasmabox
