#include "particles/push.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>

#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "particles/borisKick.h"
#include "particles/meshCells.h"

namespace plasmabox {

namespace {

// Particles whose logical coordinates the push computes together (see advance).
constexpr int PUSH_BLOCK = 32;

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

void advance(Species& species, std::span<const AmfObject> objects, const ClearCells& clear, int threads,
             bool magnetic_force, std::vector<double>* absorbed, int64_t* left_box) {
  std::vector<Particle>& list = species.particles;
  const auto n = static_cast<int64_t>(list.size());
  if (absorbed) absorbed->assign(objects.size(), 0.0);
  if (left_box) *left_box = 0;
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
  const bool use_clear = has_objects && clear.usable && clearCellsMatch(clear, objects);
  // Velocity change per V/m over one step (C s / kg). Every particle advances
  // by exactly dt, so this is the same number for all of them.
  const double k = charge * dt / mass;
  const double h = 0.5 * k;  // the same over half a step, for the magnetic rotation
  const VectorField& bf = world.B;
  // Each iteration reads shared, read-only data and writes only its own
  // particle. The loop also finds the first particle left without weight: the
  // removal pass has nothing to do before it.
  int64_t first_dead = n;
  const int64_t blocks = (n + PUSH_BLOCK - 1) / PUSH_BLOCK;
#pragma omp parallel num_threads(team)
  {
#pragma omp for schedule(static) reduction(min : first_dead)
    for (int64_t block = 0; block < blocks; ++block) {
      Particle* const p = particles + block * PUSH_BLOCK;
      const int m = static_cast<int>(std::min<int64_t>(PUSH_BLOCK, n - block * PUSH_BLOCK));
      // Logical coordinates of the old positions, a block at a time: the
      // divisions of neighbouring particles then share vector instructions.
      Vec3 l[PUSH_BLOCK];
      for (int b = 0; b < m; ++b) l[b] = grid.toLogical(p[b].pos);
      for (int b = 0; b < m; ++b) {
        const Vec3 e = gather(ef, l[b]);  // field at the old position
        Vec3& v = p[b].vel;
        Vec3& x = p[b].pos;
        const Vec3 b_here = magnetic_force ? gather(bf, l[b]) : Vec3{};
        if (b_here.x != 0.0 || b_here.y != 0.0 || b_here.z != 0.0) {
          borisKick(v, e, b_here, h);
        } else {
          v.x += k * e.x;
          v.y += k * e.y;
          v.z += k * e.z;
        }
        x.x += dt * v.x;
        x.y += dt * v.y;
        x.z += dt * v.z;
        // Gone through a wall, or absorbed by an object. Most particles are in
        // parts of cells no object can reach, and skip the query there.
        if (!insideLimits(limits, x)) {
          p[b].weight = 0.0;
        } else if (has_objects && mayBeInAnObject(objects_box, x) && !(use_clear && inClearPart(clear, x))) {
          const int object = findContainingObjectIndex(objects, x);
          if (object >= 0) markAbsorbed(p[b], object);
        }
        if (!(p[b].weight > 0.0) && block * PUSH_BLOCK + b < first_dead) first_dead = block * PUSH_BLOCK + b;
      }
    }
  }
  if (first_dead < n) {
    const int64_t left = removeDeadParticlesFrom(list, static_cast<std::size_t>(first_dead), absorbed);
    if (left_box) *left_box = left;
  }
}

void removeDeadParticles(std::vector<Particle>& particles) { removeDeadParticlesFrom(particles, 0); }

int64_t removeDeadParticlesFrom(std::vector<Particle>& particles, std::size_t first, std::vector<double>* absorbed) {
  int64_t left = 0;
  std::size_t n = particles.size();
  std::size_t q = first < n ? first : n;
  Particle* const p = particles.data();
  const double objects = absorbed ? static_cast<double>(absorbed->size()) : 0.0;
  while (q < n) {
    if (!(p[q].weight > 0.0)) {
      // Each dead particle is examined here once, in list order.
      const double object = p[q].vel.x;
      if (p[q].weight < 0.0 && object >= 0.0 && object < objects)
        (*absorbed)[static_cast<std::size_t>(object)] -= p[q].weight;
      if (!(p[q].weight < 0.0)) ++left;
      --n;
      p[q] = p[n];  // the last particle fills the hole and is examined next
    } else {
      ++q;
    }
  }
  particles.resize(n);
  return left;
}

}  // namespace plasmabox
