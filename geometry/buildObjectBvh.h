#pragma once

#include "geometry/AmfObject.h"

namespace plasmabox {

// Builds the ray index of object from its triangles and its current bounding box
// (bbox_min, bbox_max must already cover every vertex). Returns an index that is
// not usable (the query then scans all triangles) when the box is not finite.
// Cost: O(n log n) for n triangles, done once when the geometry is loaded.
ObjectBvh buildObjectBvh(const AmfObject& object);

// True when object.bvh was built for the object's present triangle count and box.
// Editing triangle corners in place is not detected: rebuild after doing that.
bool bvhMatches(const AmfObject& object);

}  // namespace plasmabox
