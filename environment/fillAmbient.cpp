#include "environment/fillAmbient.h"

#include "particles/loading.h"

namespace plasmabox {

void fillAmbient(Species& species, const Ambient& a, const ObjectVeto& veto) {
  if (!(a.density > 0.0)) return;
  const Grid& grid = species.world->grid;  // its extents are the whole box's on every process
  loadParticlesBox(species, grid.x0, grid.xm, a.density, a.drift, a.temperature, &veto);
}

}  // namespace plasmabox
