#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

#include "particles/ParticleBins.h"

namespace plasmabox {

TileGrid tileGrid(const Grid& grid) {
  TileGrid t;
  for (int a = 0; a < 3; ++a) t.cells[a] = std::max(grid.nn[a] - 1, 0);
  t.edge = 4;
  t.shift = 2;
  for (;;) {
    uint64_t count = 1;
    for (int a = 0; a < 3; ++a) {
      t.tiles[a] = static_cast<int32_t>((static_cast<int64_t>(t.cells[a]) + t.edge - 1) / t.edge);
      count *= static_cast<uint64_t>(t.tiles[a]);
    }
    if (count <= MAX_TILES) break;
    t.edge *= 2;
    ++t.shift;
  }
  for (int a = 0; a < 3; ++a)
    for (int p = 0; p < 2; ++p) t.half[a][p] = (t.tiles[a] - p + 1) / 2;
  t.colour_start[0] = 0;
  for (int c = 0; c < 8; ++c)
    t.colour_start[c + 1] = t.colour_start[c] + static_cast<uint32_t>(t.half[0][c & 1]) *
                                                    static_cast<uint32_t>(t.half[1][(c >> 1) & 1]) *
                                                    static_cast<uint32_t>(t.half[2][(c >> 2) & 1]);
  return t;
}

namespace {

// The counting sort of n items, item q being particle index(q); put(at, q)
// stores item q at place `at` of the sorted sequence. Thread t takes the t-th
// contiguous block of items, counts them per bin, and later puts them in item
// order after the blocks before it: bin b of block t starts after all of bins
// 0 .. b-1 and after bin b of blocks 0 .. t-1, so the order within a bin is
// the item order, whatever the number of blocks.
template <class Index, class Put>
void countingSort(ParticleBins& bins, const TileGrid& tiles, const Grid& grid, const Particle* p, std::size_t n,
                  Index index, Put put, int threads) {
  if (n >= std::numeric_limits<uint32_t>::max())
    throw std::length_error("binParticles: " + std::to_string(n) + " particles in one species, more than 2^32 - 2");
  const int team = std::max(threads, 1);
  const std::size_t bin_count = static_cast<std::size_t>(tiles.count()) + 1;
  bins.tile_of.resize(n);
  bins.start.resize(bin_count + 1);
  bins.counts.resize(bin_count * static_cast<std::size_t>(team));
  uint32_t* const tile_of = bins.tile_of.data();
  uint32_t* const start = bins.start.data();
  uint32_t* const counts = bins.counts.data();
  const auto outside = static_cast<uint32_t>(bin_count - 1);

#pragma omp parallel num_threads(team)
  {
    const auto given = static_cast<std::size_t>(omp_get_num_threads());
    const auto t = static_cast<std::size_t>(omp_get_thread_num());
    const std::size_t lo = n * t / given, hi = n * (t + 1) / given;
    uint32_t* const mine = counts + t * bin_count;
    std::fill(mine, mine + bin_count, 0u);
    for (std::size_t q = lo; q < hi; ++q) {
      int32_t i, j, k;
      const uint32_t b = cellOf(tiles, grid.toLogical(p[index(q)].pos), i, j, k) ? tiles.tileOf(i, j, k) : outside;
      tile_of[q] = b;
      ++mine[b];
    }
#pragma omp barrier
    // Bin totals, then the start of each block's share of a bin.
    const std::size_t b_lo = bin_count * t / given, b_hi = bin_count * (t + 1) / given;
    for (std::size_t b = b_lo; b < b_hi; ++b) {
      uint32_t total = 0;
      for (std::size_t u = 0; u < given; ++u) total += counts[u * bin_count + b];
      start[b + 1] = total;
    }
#pragma omp barrier
#pragma omp single
    {
      start[0] = 0;
      for (std::size_t b = 0; b < bin_count; ++b) start[b + 1] += start[b];
    }
    for (std::size_t b = b_lo; b < b_hi; ++b) {
      uint32_t at = start[b];
      for (std::size_t u = 0; u < given; ++u) {
        const uint32_t c = counts[u * bin_count + b];
        counts[u * bin_count + b] = at;
        at += c;
      }
    }
#pragma omp barrier
    for (std::size_t q = lo; q < hi; ++q) put(mine[tile_of[q]]++, q);
  }
}

}  // namespace

void binParticles(ParticleBins& bins, const TileGrid& tiles, const Grid& grid, std::span<const Particle> particles,
                  int threads) {
  bins.order.resize(particles.size());
  uint32_t* const order = bins.order.data();
  countingSort(
      bins, tiles, grid, particles.data(), particles.size(), [](std::size_t q) { return q; },
      [order](uint32_t at, std::size_t q) { order[at] = static_cast<uint32_t>(q); }, threads);
}

void binParticleSubset(ParticleBins& bins, const TileGrid& tiles, const Grid& grid,
                       std::span<const Particle> particles, std::span<const uint32_t> subset, int threads) {
  bins.order.resize(subset.size());
  uint32_t* const order = bins.order.data();
  const uint32_t* const s = subset.data();
  countingSort(
      bins, tiles, grid, particles.data(), subset.size(), [s](std::size_t q) { return s[q]; },
      [order, s](uint32_t at, std::size_t q) { order[at] = s[q]; }, threads);
}

void copyByTile(ParticleBins& bins, const TileGrid& tiles, const Grid& grid, std::span<const Particle> from,
                Particle* to, int threads) {
  const Particle* const source = from.data();
  countingSort(
      bins, tiles, grid, source, from.size(), [](std::size_t q) { return q; },
      [source, to](uint32_t at, std::size_t q) { to[at] = source[q]; }, threads);
}

BinRange threadShare(const uint32_t* start, uint32_t first, uint32_t last, int t, int team) {
  const uint64_t p0 = start[first], p1 = start[last];
  const auto from = static_cast<uint32_t>(p0 + (p1 - p0) * static_cast<uint64_t>(t) / static_cast<uint64_t>(team));
  const auto to = static_cast<uint32_t>(p0 + (p1 - p0) * static_cast<uint64_t>(t + 1) / static_cast<uint64_t>(team));
  // A bin belongs to the thread whose share holds its first item; the last
  // thread also takes the empty bins at the end.
  const uint32_t* const b = std::lower_bound(start + first, start + last, from);
  const uint32_t* const e = t + 1 == team ? start + last : std::lower_bound(start + first, start + last, to);
  return {static_cast<uint32_t>(b - start), static_cast<uint32_t>(e - start)};
}

}  // namespace plasmabox
