#pragma once

#include <cstdint>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/CellLattice.h"

namespace plasmabox {

// Per cell of region: bit k set when the hit test of ray direction k
// (RAY_DIRECTIONS[k]) skips a triangle of object as nearly parallel
// (|det| < RAY_PARALLEL_TOLERANCE) that the exact ray from some point of the
// cell, widened by pad (m), would cross. Such a triangle hides its crossing
// from every origin in its shadow: the triangle swept back against the
// direction. Only cells near the object's box are marked (elsewhere the
// containment query never tests the object). The five directions run on
// `threads` threads.
std::vector<uint8_t> shadowDirections(const CellLattice& lattice, const CellRegion& region, const AmfObject& object,
                                      const Vec3& pad, int threads);

}  // namespace plasmabox
