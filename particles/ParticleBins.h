#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/Grid.h"
#include "particles/Particle.h"
#include "particles/TileGrid.h"

namespace plasmabox {

// Particles grouped by tile (see TileGrid): a stable counting sort of their
// indices. Bin b holds order[start[b] .. start[b + 1]); there are
// tiles.count() + 1 bins, the last one for particles outside the mesh cells.
// The vectors keep their storage from call to call.
struct ParticleBins {
  std::vector<uint32_t> tile_of;  // bin of each binned particle, in input order
  std::vector<uint32_t> order;    // particle indices, bin by bin, in input order within a bin (not by copyByTile)
  std::vector<uint32_t> start;    // bin count + 1 entries
  std::vector<uint32_t> counts;   // scratch: items per thread and bin
};

// Bins every particle of particles on grid cut into tiles, on `threads`
// threads (at least 1). A particle whose logical coordinate lies outside the
// mesh cells (NaN included) goes to the last bin. The result does not depend
// on the team size. Throws std::length_error for 2^32 - 1 particles or more.
void binParticles(ParticleBins& bins, const TileGrid& tiles, const Grid& grid, std::span<const Particle> particles,
                  int threads);

// The same for the particles particles[subset[0]], particles[subset[1]], ...:
// order then holds particle indices, in subset order within a bin.
void binParticleSubset(ParticleBins& bins, const TileGrid& tiles, const Grid& grid,
                       std::span<const Particle> particles, std::span<const uint32_t> subset, int threads);

// The particles of from copied to to[0 .. from.size() - 1] tile by tile (in
// list order within a tile), as binParticles would order them; bins gets the
// bin starts (order is left alone). Reads from in order and writes each
// tile's particles one after the other, so both sides stream through memory.
void copyByTile(ParticleBins& bins, const TileGrid& tiles, const Grid& grid, std::span<const Particle> from,
                Particle* to, int threads);

// Bins [lo, hi) of a partition, start[b] being the first item of bin b.
struct BinRange {
  uint32_t lo, hi;
};

// The consecutive bins of [first, last) that thread t of a team of `team`
// threads takes: about an equal share of their items each. Any split gives
// the same results; this one balances the work.
BinRange threadShare(const uint32_t* start, uint32_t first, uint32_t last, int t, int team);

}  // namespace plasmabox
