#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/Grid.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The mesh cells cut into cubic tiles of edge x edge x edge cells, the unit
// by which the deposition and the sort group particles.
//
// Tiles are numbered colour by colour: the colour of a tile is the parity of
// its three tile coordinates (8 colours), and the tiles of colour 0 come first.
// Two tiles of one colour are at least one tile apart along some axis, so the
// nodes their cells touch never overlap: the tiles of one colour can deposit
// at the same time without sharing a node. Everything here depends on the
// mesh counts only, never on a thread count.
struct TileGrid {
  int32_t edge = 1;                   // cells per tile along each axis (a power of two)
  int32_t shift = 0;                  // log2(edge)
  int32_t cells[3] = {0, 0, 0};       // cells per axis: nodes - 1, at least 0
  int32_t tiles[3] = {0, 0, 0};       // tiles per axis
  int32_t half[3][2] = {};            // tiles per axis with even / odd tile coordinate
  uint32_t colour_start[9] = {};      // first tile number of each colour; [8]: the tile count

  // Number of tiles; also the number of the bin that holds particles outside
  // the mesh cells.
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
// the per-thread tile counters of the binning small (32768 x 4 bytes).
inline constexpr uint32_t MAX_TILES = 32768;

// The tiling of grid's cells: edge 4 cells, doubled until there are at most
// MAX_TILES tiles.
TileGrid tileGrid(const Grid& grid);

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

}  // namespace plasmabox
