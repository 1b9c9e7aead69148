#pragma once

#include <cstdint>

#include "environment/Ambient.h"
#include "particles/ObjectVeto.h"
#include "particles/Species.h"

namespace plasmabox {

// One step of the ambient population a of species entering through the six
// walls of the box, in the order x-, x+, y-, y+, z-, z+. Through each wall the
// population's one-sided flux (wallMacroParticles) gives N; trunc(N + rnd())
// particles are created (the count draw comes first). Each is drawn, in this
// order: its position, uniform over the wall (the two coordinates across the
// wall's axis, in axis order); its velocity, the normal component from the
// flux-weighted distribution (crossingNormalSpeed) pointing into the box, then
// the two others in axis order, Maxwellian about the drift's components; and
// a fraction f of the step (one draw). The particle crossed the wall that much
// before the step's end: it is moved inwards along its velocity by f * dt, so
// that the stream enters as a uniform layer rather than a sheet on the wall.
// Call it after the push, so that the particles stand where they are at the
// end of the step: the deposition then sees every particle that crossed
// during the step, and none is pushed twice.
//
// A particle that ends inside one of veto's objects, or outside the box
// (through another wall within f * dt), is not created; its draws are still
// taken. The velocity is stored half a step back in the electric field at the
// particle, as for every new particle (see addParticle).
//
// In a distributed run each process injects through the part of each wall
// that its cells hold: the x- and x+ walls on the first and last process, the
// others in proportion to the part of the box's length along x in its cells,
// with its own count draw and x drawn over its part. A particle that the
// fraction of a step carries into a neighbour's cells is kept, for
// migrateParticles to hand over. Returns the macro-particles created here.
int64_t injectAmbient(Species& species, const Ambient& a, const ObjectVeto& veto);

}  // namespace plasmabox
