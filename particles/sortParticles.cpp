#include "particles/sortParticles.h"

#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "particles/ParticleBins.h"
#include "particles/ParticleTiles.h"
#include "particles/TileGrid.h"

namespace plasmabox {

void sortParticlesByCell(Species& species, int threads) {
  std::vector<Particle>& list = species.particles;
  const Grid& grid = species.world->grid;
  const int team = threads > 0 ? threads : 1;
  const TileGrid tiles = tileGrid(grid);
  ParticleBins& bins = species.tiles.bins;
  binParticles(bins, tiles, grid, list, team);

  // The sorted list goes to the spare list kept from the last sort, whose
  // memory is already touched: fresh memory costs more than the sort here.
  std::vector<Particle>& sorted = species.tiles.spare;
  if (sorted.capacity() < list.capacity()) sorted.reserve(list.capacity());  // injection keeps its room
  sorted.resize(list.size());
  const Particle* const from = list.data();
  Particle* const to = sorted.data();
  const uint32_t* const order = bins.order.data();
  const uint32_t* const start = bins.start.data();
  const uint32_t bin_count = tiles.count() + 1;
  const int32_t mask = tiles.edge - 1;
  const auto edge = static_cast<uint32_t>(tiles.edge);
  const uint32_t cells_per_tile = edge * edge * edge;

#pragma omp parallel num_threads(team)
  {
    // Within a tile, a counting sort by cell: per cell of the tile (k fastest)
    // a counter, then each particle in list order to the next place of its cell.
    std::vector<uint32_t> cell_of;                  // cell within the tile of each particle of the tile
    std::vector<uint32_t> next(cells_per_tile + 1);  // per cell: count, then next place
    const BinRange mine = threadShare(start, 0, bin_count, omp_get_thread_num(), omp_get_num_threads());
    for (uint32_t b = mine.lo; b < mine.hi; ++b) {
      const uint32_t lo = start[b], hi = start[b + 1];
      if (b + 1 == bin_count) {  // outside the mesh cells: list order
        for (uint32_t q = lo; q < hi; ++q) to[q] = from[order[q]];
        continue;
      }
      cell_of.resize(hi - lo);
      std::fill(next.begin(), next.end(), 0u);
      for (uint32_t q = lo; q < hi; ++q) {
        int32_t i = 0, j = 0, k = 0;
        cellOf(tiles, grid.toLogical(from[order[q]].pos), i, j, k);  // holds: the particle is in tile b
        const uint32_t c = (static_cast<uint32_t>(i & mask) * edge + static_cast<uint32_t>(j & mask)) * edge +
                           static_cast<uint32_t>(k & mask);
        cell_of[q - lo] = c;
        ++next[c + 1];
      }
      next[0] = lo;
      for (uint32_t c = 0; c < cells_per_tile; ++c) next[c + 1] += next[c];
      for (uint32_t q = lo; q < hi; ++q) to[next[cell_of[q - lo]]++] = from[order[q]];
    }
  }
  list.swap(sorted);
  species.tiles.sorted_start = bins.start;  // the deposition reads the list tile by tile from here
}

}  // namespace plasmabox
