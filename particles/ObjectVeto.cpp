#include "particles/ObjectVeto.h"

#include "geometry/containment.h"
#include "geometry/findClearCells.h"

namespace plasmabox {

bool insideAnObject(const ObjectVeto& veto, const Vec3& pos) {
  if (veto.objects.empty()) return false;
  if (veto.clear && veto.clear->usable && clearCellsMatch(*veto.clear, veto.objects) && inClearPart(*veto.clear, pos))
    return false;
  return findContainingObjectIndex(veto.objects, pos) >= 0;
}

}  // namespace plasmabox
