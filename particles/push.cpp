#include "particles/push.h"

#include <climits>
#include <cstddef>

#include "geometry/containment.h"
#include "particles/meshCells.h"

void advance(Species& species, uint32_t num_threads) {
  std::vector<Particle>& list = species.particles;
  const auto n = static_cast<int64_t>(list.size());
  if (n == 0) return;

  const World& world = *species.world;
  const VectorField& ef = world.ef;
  Particle* const particles = list.data();
  const double dt = world.dt;
  const double charge = species.charge;
  const double mass = species.mass;
  // The clause needs a positive int; the driver asks for 60.
  const int team = num_threads == 0 ? 1 : (num_threads > INT_MAX ? INT_MAX : static_cast<int>(num_threads));

  const MeshCellLimits limits = meshCellLimits(world);
  const bool has_objects = !world.objects.empty();  // no object: no point can be in one
  // Each iteration reads shared, read-only data and writes only its own particle.
#pragma omp parallel num_threads(team)
  {
#pragma omp for schedule(static)
    for (int64_t q = 0; q < n; ++q) {
      Particle& p = particles[q];
      p.pending_time += dt;
      const Vec3 e = gather(ef, world.toLogical(p.pos));  // field at the old position
      const double k = charge * p.pending_time / mass;    // (C s / kg): velocity change per V/m
      p.vel.x += k * e.x;
      p.vel.y += k * e.y;
      p.vel.z += k * e.z;
      p.pos.x += p.pending_time * p.vel.x;
      p.pos.y += p.pending_time * p.vel.y;
      p.pos.z += p.pending_time * p.vel.z;
      // Absorbed by an object, or gone through a wall: no trace is left either way.
      if (has_objects && findContainingObjectIndex(world, p.pos) >= 0)
        p.weight = 0.0;
      else if (!insideLimits(limits, p.pos))
        p.weight = 0.0;
      p.pending_time = 0.0;
    }
  }
  removeDeadParticles(list);
}

void removeDeadParticles(std::vector<Particle>& particles) {
  std::size_t n = particles.size();
  std::size_t q = 0;
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
