#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "geometry/SceneTriangles.h"
#include "particles/ObjectVeto.h"
#include "particles/Species.h"
#include "surfaces/illumination.h"

namespace plasmabox {

// What photoemission needs, found once at set-up.
struct Photoemission {
  Illumination light;            // the sunlit triangles and the sun's direction (findSunlitTriangles)
  std::vector<double> current;   // A/m^2 at normal incidence, per object (0: it emits nothing)
  double temperature = 2.0;      // eV, of the photoelectrons
};

// One step of photoemission into species `emitted` (electrons). Each sunlit
// triangle, in order, emits current cos(theta) area dt / (e w) macro-particles
// of weight w = emitted.mpw0 on average: trunc of that plus one draw. Each is
// drawn, in this order: its point on the triangle (pointOnTriangle, two
// draws), rejected when in shadow (inShadow: a half-shadowed triangle emits
// half); then its velocity (lambertianVelocity at the photoelectrons'
// temperature, five draws) and the fraction f of the step since it left (one
// draw). It starts light.offset above the surface and moves by f dt along
// its velocity; it is not created when it ends inside an object or off the
// box.
//
// The draws come from a stream of their own, the same on every process of a
// run (seeded by seed and step), and each process keeps the particles that
// end in its cells: a distributed run emits exactly the particles of a run
// on one process. Adds to emitted_charge (C per object, this process's
// particles) the charge the electrons carry away (negative).
void emitPhotoelectrons(Species& emitted, const Photoemission& photo, const SceneTriangles& scene,
                        std::span<const AmfObject> objects, const ObjectVeto& veto, uint32_t seed, int32_t step,
                        std::vector<double>& emitted_charge);

}  // namespace plasmabox
