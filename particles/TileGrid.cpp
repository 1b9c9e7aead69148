#include "particles/TileGrid.h"

#include <algorithm>

namespace plasmabox {

TileGrid tileGrid(const Grid& grid, int32_t edge) {
  TileGrid t;
  for (int a = 0; a < 3; ++a) t.cells[a] = std::max(grid.nn[a] - 1, 0);
  t.edge = 4;
  t.shift = 2;
  while (t.edge < edge && t.edge < (1 << 20)) {
    t.edge *= 2;
    ++t.shift;
  }
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

int tileColour(const TileGrid& t, uint32_t tile) {
  int colour = 0;
  while (colour < 7 && tile >= t.colour_start[colour + 1]) ++colour;
  return colour;
}

void tileCorner(const TileGrid& t, uint32_t tile, int32_t corner[3]) {
  const int colour = tileColour(t, tile);
  const uint32_t within = tile - t.colour_start[colour];
  const auto ny = static_cast<uint32_t>(t.half[1][(colour >> 1) & 1]);
  const auto nz = static_cast<uint32_t>(t.half[2][(colour >> 2) & 1]);
  const uint32_t tile_xyz[3] = {within / (ny * nz), (within / nz) % ny, within % nz};
  for (int a = 0; a < 3; ++a)
    corner[a] = (2 * static_cast<int32_t>(tile_xyz[a]) + ((colour >> a) & 1)) << t.shift;
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
