#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/Grid.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The mesh cells cut into cubic tiles of edge x edge x edge cells, the unit
// by which the particle lists are kept (ParticleList), pushed and deposited.
//
// Tiles are numbered colour by colour: the colour of a tile is the parity of
// its three tile coordinates (8 colours), and the tiles of colour 0 come first.
// Two tiles of one colour are at least one tile apart along some axis, so the
// nodes their cells touch, and with an edge of 4 or more even the nodes of the
// cells one cell around them, never overlap: the tiles of one colour can
// deposit at the same time without sharing a node. Everything here depends on
// the mesh counts only, never on a thread count.
struct TileGrid {
  int32_t edge = 1;                   // cells per tile along each axis (a power of two, at least 4)
  int32_t shift = 0;                  // log2(edge)
  int32_t cells[3] = {0, 0, 0};       // cells per axis: nodes - 1, at least 0
  int32_t tiles[3] = {0, 0, 0};       // tiles per axis
  int32_t half[3][2] = {};            // tiles per axis with even / odd tile coordinate
  uint32_t colour_start[9] = {};      // first tile number of each colour; [8]: the tile count

  // Number of tiles; also the number of the list's bin for particles outside
  // the tiles (see ParticleList).
  uint32_t count() const { return colour_start[8]; }

  // Tile number of cell (i, j, k); the caller guarantees 0 <= i < cells[0] etc.
  uint32_t tileOf(int32_t i, int32_t j, int32_t k) const {
    const int32_t tx = i >> shift, ty = j >> shift, tz = k >> shift;
    const int32_t px = tx & 1, py = ty & 1, pz = tz & 1;
    const auto along_y = static_cast<uint32_t>(half[1][py]), along_z = static_cast<uint32_t>(half[2][pz]);
    const uint32_t within = (static_cast<uint32_t>(tx >> 1) * along_y + static_cast<uint32_t>(ty >> 1)) * along_z +
                            static_cast<uint32_t>(tz >> 1);
    return colour_start[px | (py << 1) | (pz << 2)] + within;
  }
};

// Most tiles a mesh is cut into: larger meshes get larger tiles, which keeps
// the per-tile bookkeeping of the lists small.
inline constexpr uint32_t MAX_TILES = 32768;

// Cells per tile edge unless a caller asks otherwise: measured on the thermal
// plasma and the reference case (bench/README.md, "Particles, third round").
inline constexpr int32_t DEFAULT_TILE_EDGE = 8;

// The tiling of grid's cells: edge cells (a power of two, raised to 4 when
// smaller), doubled until there are at most MAX_TILES tiles.
TileGrid tileGrid(const Grid& grid, int32_t edge = DEFAULT_TILE_EDGE);

// Colour (0 to 7) of tile number `tile`.
int tileColour(const TileGrid& t, uint32_t tile);

// Lowest cell (i, j, k) of tile number `tile`.
void tileCorner(const TileGrid& t, uint32_t tile, int32_t corner[3]);

// Cell (i, j, k) holding logical coordinate l (Grid::toLogical), or false when
// l lies outside the mesh cells (0 <= l < cells on every axis; NaN fails).
inline bool cellOf(const TileGrid& t, const Vec3& l, int32_t& i, int32_t& j, int32_t& k) {
  if (!(l.x >= 0.0 && l.x < t.cells[0] && l.y >= 0.0 && l.y < t.cells[1] && l.z >= 0.0 && l.z < t.cells[2]))
    return false;
  i = static_cast<int32_t>(l.x);
  j = static_cast<int32_t>(l.y);
  k = static_cast<int32_t>(l.z);
  return true;
}

// Bins [lo, hi) of a partition, start[b] being the first item of bin b.
struct BinRange {
  uint32_t lo, hi;
};

// The consecutive bins of [first, last) that thread t of a team of `team`
// threads takes: about an equal share of their items each. Any split gives
// the same results; this one balances the work.
BinRange threadShare(const uint32_t* start, uint32_t first, uint32_t last, int t, int team);

}  // namespace plasmabox
