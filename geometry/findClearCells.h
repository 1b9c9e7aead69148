#pragma once

#include <span>

#include "geometry/AmfObject.h"
#include "geometry/ClearCells.h"
#include "mesh/Grid.h"

namespace plasmabox {

// Classifies the cells of grid once the objects are loaded: a part of a cell
// is clear when, for every object, it lies outside the object's box or, for
// an object with a closed surface, outside the object as objectOutside proves
// it. inClearPart(result, p) is then true only where the containment query
// answers -1. Runs on `threads` threads; costs about one pass over the
// triangles and over the cells of the objects' boxes. The result is not
// usable (every point takes the query) when the grid has no cells, is not
// finite, or an object's box has a NaN corner.
ClearCells findClearCells(const Grid& grid, std::span<const AmfObject> objects, int threads);

// True when clear was built for these objects: the same count, and for each
// the same number of triangles and the same box.
bool clearCellsMatch(const ClearCells& clear, std::span<const AmfObject> objects);

}  // namespace plasmabox
