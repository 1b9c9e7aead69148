#pragma once

#include <span>

#include "geometry/AmfObject.h"
#include "geometry/ClearCells.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The objects a new particle must not be created in. A particle placed in a
// solid would die in its first push and count as current collected by an
// object that never received it.
struct ObjectVeto {
  std::span<const AmfObject> objects;  // none: nothing is vetoed
  const ClearCells* clear = nullptr;   // cells known to hold no object (findClearCells of these objects), or none
};

// True when pos (m) lies inside one of veto's objects (findContainingObjectIndex);
// a point in a clear part of a cell is known to lie in none without the query.
bool insideAnObject(const ObjectVeto& veto, const Vec3& pos);

}  // namespace plasmabox
