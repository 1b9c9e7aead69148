#include "particles/deposition.h"

#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/ghostPlanes.h"
#include "particles/ParticleList.h"
#include "particles/TileGrid.h"
#include "particles/currentDensity.h"
#include "particles/depositParticle.h"

namespace plasmabox {

namespace {

// Particles left to deposit from which on the whole team deposits them: fewer
// go through one thread, in the same order (so the same sums) without the
// barriers between colours.
constexpr uint64_t PENDING_FOR_A_TEAM = 1 << 15;

// Per node, the summed weight and momentum become the number density
// (m^-3) and the mean velocity (m/s). Shared out over the threads of the
// enclosing team; each node reads and writes only itself.
void sumsToMeans(double* den, Vec3* vel, const double* node_vol, int64_t nodes, Moments moments) {
  const bool full = moments == Moments::FULL;
#pragma omp for schedule(static)
  for (int64_t q = 0; q < nodes; ++q) {
    const double w = den[q];  // summed weight at the node
    if (full) {
      if (w != 0.0)
        vel[q] = {vel[q].x / w, vel[q].y / w, vel[q].z / w};
      else
        vel[q] = {};
    }
    den[q] = node_vol[q] != 0.0 ? w / node_vol[q] : 0.0;
  }
}

// Deposits particles [from, to) of bin `bin` (all in that tile's cells).
void depositRange(const ParticleList& list, uint32_t bin, uint32_t from, uint32_t to, const Grid& grid, double* den,
                  Vec3* vel, const Field& f, Moments moments) {
  while (from < to) {
    const Particle* const block = list.pool.block(list.blocks[bin][from / BLOCK_PARTICLES]);
    const uint32_t end = std::min(to, (from / BLOCK_PARTICLES + 1) * BLOCK_PARTICLES);
    if (moments == Moments::FULL) {
      for (uint32_t s = from; s < end; ++s) {
        const Particle& p = block[s % BLOCK_PARTICLES];
        depositMoments(den, vel, f, cellWeights(grid.toLogical(p.pos)), p);
      }
    } else {
      for (uint32_t s = from; s < end; ++s) {
        const Particle& p = block[s % BLOCK_PARTICLES];
        depositDensity(den, f, cellWeights(grid.toLogical(p.pos)), p.weight);
      }
    }
    from = end;
  }
}

}  // namespace

void beginDeposition(Species& species, Moments moments, int threads) {
  // den_prev takes den's values by taking its storage; den is cleared below.
  species.den_prev.data.swap(species.den.data);
  double* const den = species.den.data.data();
  Vec3* const vel = species.vel.data.data();
  const auto nodes = static_cast<int64_t>(species.den.size());
  const bool full = moments == Moments::FULL;
#pragma omp parallel for schedule(static) num_threads(threads > 0 ? threads : 1)
  for (int64_t q = 0; q < nodes; ++q) {
    den[q] = 0.0;
    if (full) vel[q] = {};
  }
  ParticleMoves& mv = species.moves;
  mv.deposited.assign(species.particles.binCount(), 0);
  mv.deposit_open = true;
  mv.moments = moments;
}

void computeGasProperties(Species& species, int threads, Moments moments) {
  const Grid& grid = species.world->grid;
  ParticleList& list = species.particles;
  ParticleMoves& mv = species.moves;
  const int team = threads > 0 ? threads : 1;
  placeAppended(list, grid);
  if (!(mv.deposit_open && mv.moments == moments)) beginDeposition(species, moments, team);

  // What is left per tile: the particles after those already deposited.
  const TileGrid& tiles = list.tiles;
  const uint32_t tile_count = tiles.count();
  mv.start.resize(static_cast<std::size_t>(tile_count) + 1);
  uint32_t* const start = mv.start.data();
  const uint32_t* const deposited = mv.deposited.data();
  start[0] = 0;
  for (uint32_t t = 0; t < tile_count; ++t) start[t + 1] = start[t] + (list.counts[t] - deposited[t]);
  const int depositing_team = start[tile_count] < PENDING_FOR_A_TEAM ? 1 : team;

  double* const den = species.den.data.data();
  Vec3* const vel = species.vel.data.data();
  const Field& field = species.den;
  const double* const node_vol = grid.node_vol.data.data();
  const auto nodes = static_cast<int64_t>(species.den.size());
  const bool distributed = species.world->part.distributed();
  // The tiles of one colour share no node: a thread deposits its tiles
  // straight into the fields. A node thus receives the particles of the (at
  // most eight) tiles around it colour by colour, each tile's in list order.
#pragma omp parallel num_threads(team)
  {
    const int t = omp_get_thread_num(), given = depositing_team == 1 ? 1 : omp_get_num_threads();
    for (int colour = 0; colour < 8 && t < given; ++colour) {
      // A colour with nothing to deposit needs no pass (every thread sees the same counts).
      if (start[tiles.colour_start[colour]] == start[tiles.colour_start[colour + 1]]) continue;
      const BinRange mine = threadShare(start, tiles.colour_start[colour], tiles.colour_start[colour + 1], t, given);
      for (uint32_t tile = mine.lo; tile < mine.hi; ++tile)
        depositRange(list, tile, deposited[tile], list.counts[tile], grid, den, vel, field, moments);
      if (given > 1) {
#pragma omp barrier
      }
    }
    // The node-wise steps: each node reads and writes only itself, once all
    // particles are in. On a slab the sums first need the neighbours' shares.
    if (!distributed) {
#pragma omp barrier
      sumsToMeans(den, vel, node_vol, nodes, moments);
    }
  }
  mv.deposit_open = false;
  if (distributed) {
    // The cells of a slab's last owned plane deposit into the ghost plane
    // above, which stands for the upper neighbour's first plane: every stored
    // plane must hold the whole sums before they are divided.
    addGhostPlanesToOwners(species.world->part, species.den);
    if (moments == Moments::FULL) addGhostPlanesToOwners(species.world->part, species.vel);
#pragma omp parallel num_threads(team)
    sumsToMeans(den, vel, node_vol, nodes, moments);
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
