#include "particles/ParticleList.h"

#include <limits>
#include <stdexcept>
#include <string>

namespace plasmabox {

ParticleList::ParticleList(const TileGrid& t) : tiles(t), blocks(t.count() + 1), counts(t.count() + 1, 0) {}

void ParticleList::throwFullBin() {
  throw std::length_error("particle list: more than 2^32 - 1 particles in one tile");
}

void ParticleList::truncate(uint32_t bin, uint32_t count) {
  std::vector<uint32_t>& chain = blocks[bin];
  const std::size_t keep = (static_cast<std::size_t>(count) + BLOCK_PARTICLES - 1) / BLOCK_PARTICLES;
  while (chain.size() > keep) {
    pool.give(chain.back());
    chain.pop_back();
  }
  total -= counts[bin] - count;
  counts[bin] = count;
}

void ParticleList::clear() {
  for (uint32_t bin = 0; bin < binCount(); ++bin) truncate(bin, 0);
}

void ParticleList::assign(std::span<const Particle> particles) {
  clear();
  for (const Particle& p : particles) append(p);
}

std::vector<Particle> listOrder(const ParticleList& list) {
  std::vector<Particle> out;
  out.reserve(list.size());
  list.forEach([&](const Particle& p) { out.push_back(p); });
  return out;
}

std::vector<Particle> everyNth(const ParticleList& list, std::size_t first, std::size_t stride, std::size_t count) {
  std::vector<Particle> out;
  out.reserve(count);
  std::size_t next = first;  // list position of the next particle wanted
  std::size_t offset = 0;    // list position of the bin's first particle
  for (uint32_t bin = 0; bin < list.binCount() && out.size() < count; ++bin) {
    const std::size_t n = list.counts[bin];
    for (; next < offset + n && out.size() < count; next += stride)
      out.push_back(list.at(bin, static_cast<uint32_t>(next - offset)));
    offset += n;
  }
  return out;
}

void placeAppended(ParticleList& list, const Grid& grid) {
  const uint32_t unplaced = list.unplacedBin();
  const uint32_t n = list.counts[unplaced];
  if (n == 0) return;
  // The bin is read block by block; each block goes back to the pool once
  // read, to be filled again by the tiles.
  std::vector<uint32_t> from;
  from.swap(list.blocks[unplaced]);
  list.counts[unplaced] = 0;
  list.total -= n;
  const TileGrid& tiles = list.tiles;
  const int32_t owned_lo = grid.ownedBegin();
  for (uint32_t r = 0; r < n; ++r) {
    const Particle p = list.pool.block(from[r / BLOCK_PARTICLES])[r % BLOCK_PARTICLES];
    int32_t i, j, k;
    if (cellOf(tiles, grid.toLogical(p.pos), i, j, k) && i >= owned_lo)
      list.appendTo(tiles.tileOf(i, j, k), p);
    else
      list.appendTo(unplaced, p);
    if (r % BLOCK_PARTICLES == BLOCK_PARTICLES - 1 || r + 1 == n) list.pool.give(from[r / BLOCK_PARTICLES]);
  }
}

ParticleOrder particleOrder(const ParticleList& list) { return {list.tiles.edge, list.counts}; }

void restoreParticles(ParticleList& list, std::span<const Particle> particles, const ParticleOrder& order,
                      const Grid& grid) {
  if (order.tile_edge != list.tiles.edge)
    throw std::invalid_argument("particle order: tiles of " + std::to_string(order.tile_edge) +
                                " cells, the mesh is cut into tiles of " + std::to_string(list.tiles.edge));
  if (order.counts.size() != list.binCount())
    throw std::invalid_argument("particle order: " + std::to_string(order.counts.size()) + " bins, the mesh has " +
                                std::to_string(list.binCount()));
  uint64_t sum = 0;
  for (uint32_t c : order.counts) sum += c;
  if (sum != particles.size())
    throw std::invalid_argument("particle order: its bins hold " + std::to_string(sum) + " particles, there are " +
                                std::to_string(particles.size()));
  // A particle in the wrong tile would break what the push relies on.
  const int32_t owned_lo = grid.ownedBegin();
  std::size_t q = 0;
  for (uint32_t bin = 0; bin < list.binCount(); ++bin)
    for (uint32_t s = 0; s < order.counts[bin]; ++s, ++q) {
      int32_t i, j, k;
      const bool placed = cellOf(list.tiles, grid.toLogical(particles[q].pos), i, j, k) && i >= owned_lo;
      if (bin != list.unplacedBin() && !(placed && list.tiles.tileOf(i, j, k) == bin))
        throw std::invalid_argument("particle order: particle " + std::to_string(q) + " is not in tile " +
                                    std::to_string(bin));
    }
  list.clear();
  q = 0;
  for (uint32_t bin = 0; bin < list.binCount(); ++bin)
    for (uint32_t s = 0; s < order.counts[bin]; ++s) list.appendTo(bin, particles[q++]);
}

}  // namespace plasmabox
