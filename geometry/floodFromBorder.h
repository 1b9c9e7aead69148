#pragma once

#include <cstdint>
#include <vector>

#include "geometry/CellLattice.h"
#include "geometry/ClearCells.h"

namespace plasmabox {

// The cells of a region as the flood sees them: whole cells, all open, and
// split cells (slot s), whose parts in blocked[s] are closed.
struct SplitRegion {
  CellRegion region;
  std::vector<int32_t> slot_of;        // per cell: -1 for a whole cell, else its slot
  std::vector<std::size_t> slot_cell;  // per slot: its cell
  std::vector<PartMask> blocked;       // per slot: the parts the flood may not enter
};

// What the flood reached: whole cells, and per slot the parts.
struct Reached {
  std::vector<uint8_t> cells;
  std::vector<PartMask> parts;
};

// Everything joined to the whole cells on the region's border by a chain of
// open cells and parts that share faces (a part shares a face with the parts
// beside it, and with the neighbouring cell or the facing parts of a
// neighbouring split cell). Works a split cell at a time on its part masks as
// bit planes, so a cell costs a few dozen word operations.
Reached floodFromBorder(const SplitRegion& split);

}  // namespace plasmabox
