#pragma once

#include "environment/Ambient.h"
#include "particles/ObjectVeto.h"
#include "particles/Species.h"

namespace plasmabox {

// Fills the whole box with the ambient population a of species at set-up:
// loadParticlesBox over the box's extents at a's density, drift and
// temperature (the same draws and console line), leaving out the particles
// that fall inside veto's objects. Does nothing for a density of 0.
void fillAmbient(Species& species, const Ambient& a, const ObjectVeto& veto);

}  // namespace plasmabox
