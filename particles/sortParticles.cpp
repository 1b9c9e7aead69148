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

  // First the particles go to the spare list tile by tile, then each tile
  // comes back cell by cell: both copies stream through memory, where taking
  // the particles in their final order straight from a list in random order
  // would miss the cache on every one. The room is kept from sort to sort:
  // memory touched before is much cheaper than fresh memory.
  Particle* const by_tile = species.tiles.spare.room(list.size());
  ParticleBins& bins = species.tiles.bins;
  copyByTile(bins, tiles, grid, list, by_tile, team);

  const Particle* const from = by_tile;
  Particle* const to = list.data();
  const uint32_t* const start = bins.start.data();
  const uint32_t bin_count = tiles.count() + 1;
  const int32_t mask = tiles.edge - 1;
  const auto edge = static_cast<uint32_t>(tiles.edge);
  const uint32_t cells_per_tile = edge * edge * edge;

#pragma omp parallel num_threads(team)
  {
    // Within a tile, a counting sort by cell: per cell of the tile (k fastest)
    // a counter, then each particle in list order to the next place of its cell.
    std::vector<uint32_t> cell_of;                   // cell within the tile of each particle of the tile
    std::vector<uint32_t> next(cells_per_tile + 1);  // per cell: count, then next place
    const BinRange mine = threadShare(start, 0, bin_count, omp_get_thread_num(), omp_get_num_threads());
    for (uint32_t b = mine.lo; b < mine.hi; ++b) {
      const uint32_t lo = start[b], hi = start[b + 1];
      if (b + 1 == bin_count) {  // outside the mesh cells: list order
        for (uint32_t q = lo; q < hi; ++q) to[q] = from[q];
        continue;
      }
      cell_of.resize(hi - lo);
      std::fill(next.begin(), next.end(), 0u);
      for (uint32_t q = lo; q < hi; ++q) {
        int32_t i = 0, j = 0, k = 0;
        cellOf(tiles, grid.toLogical(from[q].pos), i, j, k);  // holds: the particle is in tile b
        const uint32_t c = (static_cast<uint32_t>(i & mask) * edge + static_cast<uint32_t>(j & mask)) * edge +
                           static_cast<uint32_t>(k & mask);
        cell_of[q - lo] = c;
        ++next[c + 1];
      }
      next[0] = lo;
      for (uint32_t c = 0; c < cells_per_tile; ++c) next[c + 1] += next[c];
      for (uint32_t q = lo; q < hi; ++q) to[next[cell_of[q - lo]]++] = from[q];
    }
  }
  species.tiles.sorted_start = bins.start;  // the deposition reads the list tile by tile from here
}

}  // namespace plasmabox
