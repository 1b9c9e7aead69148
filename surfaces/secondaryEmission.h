#pragma once

#include <optional>
#include <span>
#include <vector>

#include "geometry/outwardNormals.h"
#include "particles/ObjectVeto.h"
#include "particles/Species.h"
#include "surfaces/Impact.h"
#include "surfaces/SecondaryYield.h"

namespace plasmabox {

// What secondary emission needs, found once at set-up.
struct SecondaryEmission {
  std::vector<std::optional<SecondaryYield>> yield;  // per object; none: it emits no secondaries
  std::vector<OutwardNormals> normals;               // per object (empty for those without a yield)
  double temperature = 2.0;                          // eV, of the secondaries
  double offset = 0.0;                               // m, height above the surface at which they start
};

// The secondaries of electrons (of mass impact_mass, kg) that struck the
// objects: for each impact in order on an object with a yield, with E its
// kinetic energy (eV) and theta its angle from the struck triangle's outward
// normal, secondaryYield(E, cos theta) of them on average (trunc of that plus
// one draw), each of the struck electron's weight, into species `emitted`.
// Each starts at the impact point, s.offset above the surface, with a
// velocity from lambertianVelocity at s.temperature (five draws) and moves
// by a fraction of the step (one draw) along it; not created when it ends
// inside an object or off the box. An impact without a triangle (see
// collectImpacts) emits back along the struck electron's path, from its old
// position. Draws come from the process's stream (rnd). Adds to
// emitted_charge (C per object) the charge the secondaries carry away.
void emitSecondaries(Species& emitted, std::span<const Impact> impacts, double impact_mass,
                     const SecondaryEmission& s, const ObjectVeto& veto, std::vector<double>& emitted_charge);

}  // namespace plasmabox
