#pragma once

#include <vector>

#include "geometry/SceneTriangles.h"
#include "particles/ParticleMoves.h"
#include "surfaces/Impact.h"

namespace plasmabox {

// The impacts of the particles the last push found absorbed (moves, before
// settleMovers), in list order, appended to impacts. Each particle's step
// ran from pos - dt vel to pos (the push moves it by dt times its new
// velocity); the first triangle of its object that this segment meets gives
// the impact's triangle and point. When the segment meets none of its
// object's triangles (a particle that started within rounding of the
// surface, or an object whose surface is not closed) the impact keeps
// triangle -1 and the old position. Call it after pushParticles and before
// settleMovers.
void collectImpacts(const ParticleMoves& moves, double dt, const SceneTriangles& scene, std::vector<Impact>& impacts);

}  // namespace plasmabox
