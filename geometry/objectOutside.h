#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/CellLattice.h"
#include "geometry/ClearCells.h"
#include "mesh/Grid.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// What the surface of one closed object proves about the cells of the mesh's
// lattice around it (the lattice of cells of spacing dh from x0, continued
// past the mesh as far as the object reaches): the cells, and the parts of
// cells (CLEAR_PARTS each, as in ClearCells), where the containment query
// can never find this object.
inline constexpr uint8_t CELL_UNKNOWN = 0;  // the query may find the object at points of the cell
inline constexpr uint8_t CELL_OUTSIDE = 1;  // it finds it at no point of the cell
inline constexpr uint8_t CELL_PARTLY = 2;   // at no point of the parts set in the cell's mask

struct ObjectOutside {
  bool known = false;             // false: nothing proved (open surface, too large, not finite)
  CellRegion region;              // the cells it covers
  std::vector<uint8_t> state;     // per region cell, k fastest
  std::vector<int32_t> mask_of;   // per region cell: its mask in masks when CELL_PARTLY
  std::vector<PartMask> masks;    // the parts of the cell that lie outside

  // State of lattice cell (i, j, k); CELL_UNKNOWN outside the region.
  uint8_t cellState(int64_t i, int64_t j, int64_t k) const {
    const int64_t* lo = region.lo;
    const int64_t* n = region.n;
    if (!known || i < lo[0] || j < lo[1] || k < lo[2] || i >= lo[0] + n[0] || j >= lo[1] + n[1] || k >= lo[2] + n[2])
      return CELL_UNKNOWN;
    return state[region.at(i - lo[0], j - lo[1], k - lo[2])];
  }
  // Mask of lattice cell (i, j, k), which must be in state CELL_PARTLY.
  const PartMask& cellMask(int64_t i, int64_t j, int64_t k) const {
    const int64_t* lo = region.lo;
    return masks[static_cast<std::size_t>(mask_of[region.at(i - lo[0], j - lo[1], k - lo[2])])];
  }
};

// The cells and parts outside object, for points that lie within slack (m,
// per axis) of the part of the lattice they are looked up in. Proved only
// for an object whose triangles form a closed surface (isClosedSurface) with
// finite corners and box; otherwise, or when the region would hold more than
// max_cells cells or the triangles would have to be tested against more than
// max_cells cells in all, nothing is known. Runs its part tests on `threads` threads.
ObjectOutside objectOutside(const Grid& grid, const AmfObject& object, const Vec3& slack, std::size_t max_cells,
                            int threads);

}  // namespace plasmabox
