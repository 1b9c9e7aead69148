#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mesh/Grid.h"
#include "particles/BlockPool.h"
#include "particles/Particle.h"
#include "particles/TileGrid.h"

namespace plasmabox {

// The macro-particles of one species, kept grouped by the tile (TileGrid) of
// the cell each lies in, so that the push and the deposition of a tile work
// on one small block of the mesh while it is in the cache, and a particle
// that crosses into another tile is the only one that has to move.
//
// The list has one bin per tile and a last bin, the "unplaced" one, for
// particles appended since the last placement (append) and for particles
// outside this process's cells. A bin holds its particles in blocks of
// BLOCK_PARTICLES, all full but its last. The list order, in which every
// reader sees the particles, is bin by bin, within a bin by place. The
// invariant the push relies on: a particle in a tile's bin lies in one of that
// tile's cells (placeAppended and the push keep it; code that moves particles
// in place must too).
struct ParticleList {
  TileGrid tiles;
  std::vector<std::vector<uint32_t>> blocks;  // per bin: its blocks in order
  std::vector<uint32_t> counts;               // per bin: its particles
  BlockPool pool;
  std::size_t total = 0;  // particles in all bins

  // An empty list on the tiles t.
  explicit ParticleList(const TileGrid& t);

  std::size_t size() const { return total; }
  bool empty() const { return total == 0; }
  // Tile bins and the unplaced bin.
  uint32_t binCount() const { return tiles.count() + 1; }
  uint32_t unplacedBin() const { return tiles.count(); }

  // Particle `slot` of bin `bin` (slot < counts[bin]).
  Particle& at(uint32_t bin, uint32_t slot) {
    return pool.block(blocks[bin][slot / BLOCK_PARTICLES])[slot % BLOCK_PARTICLES];
  }
  const Particle& at(uint32_t bin, uint32_t slot) const {
    return pool.block(blocks[bin][slot / BLOCK_PARTICLES])[slot % BLOCK_PARTICLES];
  }

  // Adds p at the end of bin `bin`, taking a block when the last one is full.
  void appendTo(uint32_t bin, const Particle& p) {
    const uint32_t slot = counts[bin];
    if (slot == UINT32_MAX) throwFullBin();
    if (slot % BLOCK_PARTICLES == 0) blocks[bin].push_back(pool.take());
    pool.block(blocks[bin].back())[slot % BLOCK_PARTICLES] = p;
    counts[bin] = slot + 1;
    ++total;
  }

  // Adds p at the end of the list (the unplaced bin): placeAppended puts it
  // in its tile later.
  void append(const Particle& p) { appendTo(unplacedBin(), p); }

  // Bin `bin` keeps its first `count` particles (count <= counts[bin]); its
  // blocks past them go back to the pool.
  void truncate(uint32_t bin, uint32_t count);

  // Every bin empty (the blocks go back to the pool, which keeps them).
  void clear();

  // The list holds exactly `particles`, in that order, all unplaced.
  void assign(std::span<const Particle> particles);

  // f(particle) for every particle, in list order.
  template <class F>
  void forEach(F f) const {
    for (uint32_t bin = 0; bin < binCount(); ++bin) {
      const uint32_t n = counts[bin];
      for (uint32_t first = 0; first < n; first += BLOCK_PARTICLES) {
        const Particle* const p = pool.block(blocks[bin][first / BLOCK_PARTICLES]);
        const uint32_t m = n - first < BLOCK_PARTICLES ? n - first : BLOCK_PARTICLES;
        for (uint32_t q = 0; q < m; ++q) f(p[q]);
      }
    }
  }

  [[noreturn]] static void throwFullBin();

  ParticleList(ParticleList&&) noexcept = default;
  ParticleList& operator=(ParticleList&&) noexcept = default;
  ParticleList(const ParticleList&) = delete;
  ParticleList& operator=(const ParticleList&) = delete;
};

// The particles of list in list order.
std::vector<Particle> listOrder(const ParticleList& list);

// The particles at list positions first, first + stride, ... (count of them,
// all below list.size()), in that order.
std::vector<Particle> everyNth(const ParticleList& list, std::size_t first, std::size_t stride, std::size_t count);

// Moves every particle of the unplaced bin that lies in one of this process's
// cells (grid: the cells of cellOf, along x from grid.ownedBegin()) to the end
// of its tile's bin, in list order; the others stay in the unplaced bin, in
// their order. Serial; the blocks it empties go back to the pool as it goes,
// so placing a whole loaded list needs no second copy of it. Throws
// std::length_error when a bin would exceed 2^32 - 1 particles.
void placeAppended(ParticleList& list, const Grid& grid);

// What, besides the particles in list order, decides how a list is pushed and
// deposited from here on (the order of every later sum): the tiling and how
// many particles each bin holds. A checkpoint writes it with the particles
// (listOrder) and restoreParticles rebuilds the very same list from both.
struct ParticleOrder {
  int32_t tile_edge = 0;          // cells per tile edge (TileGrid::edge)
  std::vector<uint32_t> counts;   // particles per bin: tile 0, 1, ..., then the unplaced bin
};

ParticleOrder particleOrder(const ParticleList& list);

// list := the particles in list order, binned as order says (grid: the mesh
// the list lies on). Throws std::invalid_argument naming what does not match
// when order's edge or bin count differs from list's tiling, its counts do not
// add up to particles.size(), or a particle does not lie in its tile.
void restoreParticles(ParticleList& list, std::span<const Particle> particles, const ParticleOrder& order,
                      const Grid& grid);

}  // namespace plasmabox
