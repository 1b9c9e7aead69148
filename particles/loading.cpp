#include "particles/loading.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "particles/borisKick.h"
#include "particles/maxwellian.h"
#include "particles/meshCells.h"
#include "particles/random.h"
#include "particles/slabShare.h"

namespace plasmabox {

namespace {

// Bytes of physical memory of this machine, or 0 when the platform does not say.
double physicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return 0.0;
  return static_cast<double>(pages) * static_cast<double>(page_size);
}

std::string countMessage(const Species& species, double count, const char* where) {
  std::ostringstream m;
  m << where << ": species \"" << species.name << "\" would need " << count << " more macro-particles";
  return m.str();
}

}  // namespace

std::size_t checkedParticleCount(const Species& species, double count, const char* where) {
  const ParticleList& list = species.particles;
  // As many as the address space could hold: far more than any memory.
  const double most = static_cast<double>(SIZE_MAX / sizeof(Particle));
  if (!std::isfinite(count))
    throw std::length_error(countMessage(species, count, where) +
                            ": the count is not a finite number (check the density, the extent and the weight)");
  if (count <= 0.0) return 0;  // a negative weight makes a negative count: nothing to create
  // Compared as doubles: exact enough for a limit.
  const double room = most - static_cast<double>(list.size());
  if (count > room)
    throw std::length_error(countMessage(species, count, where) + ", more than a particle list can hold (" +
                            std::to_string(SIZE_MAX / sizeof(Particle)) + ")");
  const double bytes = (static_cast<double>(list.size()) + count) * static_cast<double>(sizeof(Particle));
  const double memory = physicalMemoryBytes();
  if (memory > 0.0 && bytes > memory) {
    std::ostringstream m;
    m << countMessage(species, count, where) << " (" << bytes / 1e9 << " GB), more than the " << memory / 1e9
      << " GB of memory of this machine";
    throw std::runtime_error(m.str());
  }
  return static_cast<std::size_t>(count);
}

void addParticle(Species& species, const Vec3& pos, const Vec3& vel, double weight) {
  const World& world = *species.world;
  if (!insideMeshCells(world.grid, pos)) return;
  const Vec3 l = world.grid.toLogical(pos);
  // Below a slab's first cell lies a neighbour's particle: not this process's to
  // store (its field there is not held here). Never true on one process.
  if (l.x < world.grid.ownedBegin()) return;
  species.particles.append(Particle{pos, halfStepBack(species, l, vel), weight});
}

void appendEnteringParticle(Species& species, const Vec3& pos, const Vec3& vel, double weight) {
  const Grid& grid = species.world->grid;
  Vec3 l = grid.toLogical(pos);
  for (int d = 0; d < 3; ++d) l[d] = std::clamp(l[d], 0.0, std::nextafter(grid.nn[d] - 1.0, 0.0));
  species.particles.append(Particle{pos, halfStepBack(species, l, vel), weight});
}

Vec3 halfStepBack(const Species& species, const Vec3& l, const Vec3& vel) {
  const World& world = *species.world;
  const Vec3 e = gather(world.ef, l);
  const Vec3 b = world.magnetic_force ? gather(world.B, l) : Vec3{};
  if (b.x != 0.0 || b.y != 0.0 || b.z != 0.0) {
    Vec3 v = vel;
    borisKick(v, e, b, -0.25 * species.charge * world.dt / species.mass);  // a Boris step of -dt/2
    return v;
  }
  // Velocity change over half a step in e, so the velocity lags the position by dt/2.
  const double k = (species.charge / species.mass) * (0.5 * world.dt);
  return {vel.x - k * e.x, vel.y - k * e.y, vel.z - k * e.z};
}

void loadParticlesBox(Species& species, const Vec3& x1, const Vec3& x2, double num_den, const Vec3& drift,
                      double temperature_ev, const ObjectVeto* veto) {
  const World& world = *species.world;
  const Decomposition& part = world.part;
  const Vec3 d = x2 - x1;
  // Corners in decreasing order along an axis still describe the same box.
  const double volume = std::fabs(d.x * d.y * d.z);  // m^3
  const double num_real = num_den * volume;          // real particles in the box
  const double num_sim = num_real / species.mpw0;    // macro-particles, not rounded
  if (part.rank == 0) std::cout << species.mpw0 << " " << num_sim << " " << num_real << std::endl;

  // Every whole p with 0 <= p < num_sim gives one particle: ceil(num_sim) of them.
  // A count that is not finite goes on to be rejected with a message.
  const double count = !std::isfinite(num_sim) ? num_sim : (num_sim > 0.0 ? std::ceil(num_sim) : 0.0);
  // On a slab: the particles of the box's part in this process's cells, its
  // share of the length along x. Each process rounds the running total at
  // its cells' ends, so the shares add up to exactly the whole count.
  const SlabShare share = part.distributed() ? slabShare(world.grid, part, x1.x, x2.x) : SlabShare{};
  const double mine = part.distributed() && std::isfinite(count) && count > 0.0
                          ? std::floor(count * share.above + 0.5) - std::floor(count * share.below + 0.5)
                          : count;
  const std::size_t n = checkedParticleCount(species, mine, "loadParticlesBox");
  const double sigma = temperature_ev > 0.0 ? thermalSpeed(temperature_ev, species.mass) : 0.0;  // m/s
  for (std::size_t p = 0; p < n; ++p) {
    Vec3 pos;
    pos.x = part.distributed() ? share.at(rnd()) : x1.x + rnd() * d.x;
    pos.y = x1.y + rnd() * d.y;
    pos.z = x1.z + rnd() * d.z;
    const Vec3 vel = sigma > 0.0 ? drift + maxwellianVelocity(sigma) : drift;
    if (veto && insideAnObject(*veto, pos)) continue;
    addParticle(species, pos, vel, species.mpw0);
  }
}

}  // namespace plasmabox
