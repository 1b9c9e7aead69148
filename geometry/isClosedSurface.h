#pragma once

#include <span>

#include "geometry/AmfObject.h"

namespace plasmabox {

// True when the triangles form a closed surface in the sense the ray vote
// needs: every edge, taken as the pair of its two corner positions (in either
// order), belongs to an even number of triangles. Edges whose two corners
// coincide are ignored; degenerate and repeated triangles count like others.
// Corners match only when their coordinates are equal, so a vertex lying on
// another triangle's edge (a T-junction) makes the surface open. False for
// no triangles or for a non-finite coordinate.
//
// For such a surface, the parity of the number of triangles a ray crosses
// changes only where the ray's origin crosses the surface (for rays that meet
// no edge or vertex): points joined by a path that keeps off the surface see
// the same parity, and far from the surface it is even. Cost: O(n log n).
bool isClosedSurface(std::span<const Triangle> triangles);

}  // namespace plasmabox
