#include "particles/push.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "geometry/containment.h"
#include "particles/meshCells.h"

namespace plasmabox {

namespace {

// The smallest box (m) that holds every object's bounding box. A point outside
// it is in no object's box, so no object can contain it: the containment query
// answers -1 there without looking at any object. Unusable (test every point)
// when some box has a NaN corner, which the query's own box test lets through.
struct ObjectsBox {
  bool usable = true;
  Vec3 lo{DBL_MAX, DBL_MAX, DBL_MAX};
  Vec3 hi{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

ObjectsBox objectsBox(std::span<const AmfObject> objects) {
  ObjectsBox box;
  for (const AmfObject& o : objects)
    for (int d = 0; d < 3; ++d) {
      if (std::isnan(o.bbox_min[d]) || std::isnan(o.bbox_max[d])) box.usable = false;
      box.lo[d] = std::min(box.lo[d], o.bbox_min[d]);
      box.hi[d] = std::max(box.hi[d], o.bbox_max[d]);
    }
  return box;
}

// False only when p is certainly in no object's closed box. A NaN coordinate
// gives true, as in the query's own box test.
bool mayBeInAnObject(const ObjectsBox& b, const Vec3& p) {
  return !b.usable ? true
                   : !(p.x < b.lo.x || p.y < b.lo.y || p.z < b.lo.z || p.x > b.hi.x || p.y > b.hi.y || p.z > b.hi.z);
}

}  // namespace

void advance(Species& species, std::span<const AmfObject> objects, int threads) {
  std::vector<Particle>& list = species.particles;
  const auto n = static_cast<int64_t>(list.size());
  if (n == 0) return;

  const World& world = *species.world;
  const VectorField& ef = world.ef;
  Particle* const particles = list.data();
  const double dt = world.dt;
  const double charge = species.charge;
  const double mass = species.mass;
  const int team = threads > 0 ? threads : 1;  // the clause needs a positive count

  const Grid& grid = world.grid;
  const MeshCellLimits limits = meshCellLimits(grid);
  const bool has_objects = !objects.empty();  // no object: no point can be in one
  const ObjectsBox objects_box = objectsBox(objects);
  // Each iteration reads shared, read-only data and writes only its own
  // particle. The loop also finds the first particle left without weight: the
  // removal pass has nothing to do before it.
  int64_t first_dead = n;
#pragma omp parallel num_threads(team)
  {
#pragma omp for schedule(static) reduction(min : first_dead)
    for (int64_t q = 0; q < n; ++q) {
      Particle& p = particles[q];
      p.pending_time += dt;
      const Vec3 e = gather(ef, grid.toLogical(p.pos));  // field at the old position
      const double k = charge * p.pending_time / mass;    // (C s / kg): velocity change per V/m
      p.vel.x += k * e.x;
      p.vel.y += k * e.y;
      p.vel.z += k * e.z;
      p.pos.x += p.pending_time * p.vel.x;
      p.pos.y += p.pending_time * p.vel.y;
      p.pos.z += p.pending_time * p.vel.z;
      // Absorbed by an object, or gone through a wall: no trace is left either way.
      if (has_objects && mayBeInAnObject(objects_box, p.pos) && findContainingObjectIndex(objects, p.pos) >= 0)
        p.weight = 0.0;
      else if (!insideLimits(limits, p.pos))
        p.weight = 0.0;
      p.pending_time = 0.0;
      if (!(p.weight > 0.0) && q < first_dead) first_dead = q;
    }
  }
  if (first_dead < n) removeDeadParticlesFrom(list, static_cast<std::size_t>(first_dead));
}

void removeDeadParticles(std::vector<Particle>& particles) { removeDeadParticlesFrom(particles, 0); }

void removeDeadParticlesFrom(std::vector<Particle>& particles, std::size_t first) {
  std::size_t n = particles.size();
  std::size_t q = first < n ? first : n;
  Particle* const p = particles.data();
  while (q < n) {
    if (!(p[q].weight > 0.0)) {
      --n;
      p[q] = p[n];  // the last particle fills the hole and is examined next
    } else {
      ++q;
    }
  }
  particles.resize(n);
}

}  // namespace plasmabox
