#include "particles/injection.h"

#include <cmath>

#include "particles/loading.h"
#include "particles/maxwellian.h"
#include "particles/random.h"
#include "particles/slabShare.h"

namespace plasmabox {

void injectFromPlane(Source& source, int32_t dim, const Vec3& x1, const Vec3& x2) {
  const Vec3 d = x2 - x1;
  double area;  // m^2
  switch (dim) {
    case 1: area = d.x * d.y; break;
    case 2: area = d.y * d.z; break;
    case 3: area = d.x * d.z; break;
    default: return;
  }
  Species& species = *source.species;
  const double v = source.drift_speed;
  const double sigma = source.temperature > 0.0 ? thermalSpeed(source.temperature, species.mass) : 0.0;  // m/s
  // Macro-particles crossing the plane in one step; the absolute value lets a
  // negative density or speed still inject (the velocity keeps the sign of v).
  const double n = sigma > 0.0 ? oneSidedFlux(std::fabs(source.inject_density), v, sigma) *
                                     std::fabs(area * source.world->dt) / species.mpw0
                               : std::fabs(source.inject_density * v * area * source.world->dt) / species.mpw0;
  // On a slab: this process's share of the plane, by the part of its length
  // along x in this process's cells (all or nothing for a plane normal to x),
  // with a count draw of its own, so that no fraction is lost between processes.
  const World& world = *species.world;
  const bool distributed = world.part.distributed();
  const SlabShare share = distributed ? slabShare(world.grid, world.part, x1.x, dim == 2 ? x1.x : x2.x) : SlabShare{};
  const double mine = distributed ? n * share.fraction() : n;
  const double count = std::trunc(mine + rnd());  // the count draw comes first
  const std::size_t num = checkedParticleCount(species, count, "injectFromPlane");
  for (std::size_t p = 0; p < num; ++p) {
    Vec3 pos;
    Vec3 vel;
    if (dim == 1) {
      pos.x = distributed ? share.at(rnd()) : x1.x + rnd() * d.x;
      pos.y = x1.y + rnd() * d.y;
      pos.z = x1.z;
      vel.z = v;
    } else if (dim == 2) {
      pos.x = x1.x;
      pos.y = x1.y + rnd() * d.y;
      pos.z = x1.z + rnd() * d.z;
      vel.x = v;
    } else {
      pos.x = distributed ? share.at(rnd()) : x1.x + rnd() * d.x;
      pos.y = x1.y;
      pos.z = x1.z + rnd() * d.z;
      vel.y = v;
    }
    if (sigma > 0.0) {  // normal component, then the in-plane ones in axis order
      const int normal = dim == 1 ? 2 : dim == 2 ? 0 : 1;
      vel[normal] = crossingNormalSpeed(v, sigma);
      for (int a = 0; a < 3; ++a)
        if (a != normal) vel[a] = sigma * normalDraw();
    }
    addParticle(species, pos, vel, species.mpw0);
  }
}

void injectFromSources(std::vector<Source>& sources) {
  for (Source& source : sources) injectFromPlane(source, source.face, source.corner_1, source.corner_2);
}

}  // namespace plasmabox
