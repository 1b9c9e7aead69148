#include "surfaces/secondaryEmission.h"

#include <cmath>

#include "mesh/constants.h"
#include "particles/loading.h"
#include "particles/maxwellian.h"
#include "particles/meshCells.h"
#include "particles/random.h"
#include "surfaces/lambertianVelocity.h"

namespace plasmabox {

void emitSecondaries(Species& emitted, std::span<const Impact> impacts, double impact_mass,
                     const SecondaryEmission& s, const ObjectVeto& veto, std::vector<double>& emitted_charge) {
  const World& world = *emitted.world;
  const Grid& grid = world.grid;
  const double dt = world.dt;
  const double sigma = thermalSpeed(s.temperature, emitted.mass);  // m/s
  const MeshCellLimits box = meshCellLimits(Grid::lattice(grid.gni, grid.nj, grid.nk, grid.x0, grid.xm));
  for (const Impact& impact : impacts) {
    const auto o = static_cast<std::size_t>(impact.object);
    if (o >= s.yield.size() || !s.yield[o]) continue;
    const double speed2 = dot(impact.vel, impact.vel);
    if (!(speed2 > 0.0)) continue;
    const double energy = 0.5 * impact_mass * speed2 / QE;  // eV
    const Vec3 back = (-1.0 / std::sqrt(speed2)) * impact.vel;  // unit, against the electron's path
    const bool on_triangle = impact.triangle >= 0 && static_cast<std::size_t>(impact.triangle) < s.normals[o].normal.size();
    const Vec3 normal = on_triangle ? s.normals[o].normal[static_cast<std::size_t>(impact.triangle)] : back;
    const double mean = secondaryYield(*s.yield[o], energy, dot(back, normal));
    const auto count = static_cast<int64_t>(std::trunc(mean + rnd()));
    for (int64_t n = 0; n < count; ++n) {
      const Vec3 vel = lambertianVelocity(normal, sigma, [] { return rnd(); });
      const double fraction = rnd();
      const Vec3 pos = impact.point + s.offset * normal + (fraction * dt) * vel;
      if (!insideLimits(box, pos) || insideAnObject(veto, pos)) continue;
      appendEnteringParticle(emitted, pos, vel, impact.weight);
      emitted_charge[o] += emitted.charge * impact.weight;
    }
  }
}

}  // namespace plasmabox
