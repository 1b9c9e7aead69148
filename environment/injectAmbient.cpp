#include "environment/injectAmbient.h"

#include <algorithm>
#include <cmath>

#include "environment/wallFlux.h"
#include "particles/loading.h"
#include "particles/maxwellian.h"
#include "particles/meshCells.h"
#include "particles/random.h"
#include "particles/slabShare.h"

namespace plasmabox {

namespace {

// Whether pos lies in the box's cells (insideMeshCells of the whole box).
bool insideBox(const MeshCellLimits& box, const Vec3& pos) { return insideLimits(box, pos); }

}  // namespace

int64_t injectAmbient(Species& species, const Ambient& a, const ObjectVeto& veto) {
  if (!(a.density > 0.0)) return 0;
  const World& world = *species.world;
  const Grid& grid = world.grid;
  const bool distributed = world.part.distributed();
  const double dt = world.dt;
  const double sigma = thermalSpeed(a.temperature, species.mass);  // m/s
  const MeshCellLimits box = meshCellLimits(Grid::lattice(grid.gni, grid.nj, grid.nk, grid.x0, grid.xm));
  const SlabShare share = distributed ? slabShare(grid, world.part, grid.x0.x, grid.xm.x) : SlabShare{};
  const std::size_t before = species.particles.size();
  for (int w = 0; w < WALL_COUNT; ++w) {
    const WallPlace place = wallPlace(grid, w);
    double n = wallMacroParticles(a, species.mass, species.mpw0, grid, w, dt);
    if (distributed) {
      if (place.axis == 0 && !(place.inward > 0.0 ? grid.wallBelow() : grid.wallAbove())) continue;
      if (place.axis != 0) n *= share.fraction();
    }
    const double count = std::trunc(n + rnd());  // the count draw comes first
    const std::size_t num = checkedParticleCount(species, count, "injectAmbient");
    const double u = place.inward * a.drift[place.axis];  // m/s, drift into the box
    for (std::size_t p = 0; p < num; ++p) {
      Vec3 pos;
      for (int d = 0; d < 3; ++d)
        if (d != place.axis)
          pos[d] = d == 0 && distributed ? share.at(rnd()) : grid.x0[d] + rnd() * (grid.xm[d] - grid.x0[d]);
      pos[place.axis] = place.position;
      Vec3 vel;
      vel[place.axis] = place.inward * (sigma > 0.0 ? crossingNormalSpeed(u, sigma) : u);
      for (int d = 0; d < 3; ++d)
        if (d != place.axis) vel[d] = a.drift[d] + (sigma > 0.0 ? sigma * normalDraw() : 0.0);
      const double fraction = rnd();
      pos += (fraction * dt) * vel;
      if (!insideBox(box, pos) || insideAnObject(veto, pos)) continue;
      appendEnteringParticle(species, pos, vel, species.mpw0);
    }
  }
  return static_cast<int64_t>(species.particles.size() - before);
}

}  // namespace plasmabox
