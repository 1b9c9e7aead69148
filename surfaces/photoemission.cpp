#include "surfaces/photoemission.h"

#include <cmath>
#include <random>

#include "mesh/constants.h"
#include "particles/loading.h"
#include "particles/maxwellian.h"
#include "particles/meshCells.h"
#include "surfaces/lambertianVelocity.h"
#include "surfaces/pointOnTriangle.h"

namespace plasmabox {

void emitPhotoelectrons(Species& emitted, const Photoemission& photo, const SceneTriangles& scene,
                        std::span<const AmfObject> objects, const ObjectVeto& veto, uint32_t seed, int32_t step,
                        std::vector<double>& emitted_charge) {
  const World& world = *emitted.world;
  const Grid& grid = world.grid;
  const double dt = world.dt, w = emitted.mpw0;
  const double sigma = thermalSpeed(photo.temperature, emitted.mass);  // m/s
  std::seed_seq seq{seed, static_cast<uint32_t>(step), 0x70686f74u};  // "phot"
  std::mt19937 g(seq);
  std::uniform_real_distribution<double> canonical(0.0, 1.0);  // as the run's own source draws (rnd)
  const auto uniform = [&] { return canonical(g); };
  const MeshCellLimits box = meshCellLimits(Grid::lattice(grid.gni, grid.nj, grid.nk, grid.x0, grid.xm));
  const bool distributed = world.part.distributed();
  const std::vector<double> starts = distributed ? slabStarts(grid, world.part) : std::vector<double>{};
  for (const SunlitTriangle& lit : photo.light.triangles) {
    const double j = photo.current[static_cast<std::size_t>(lit.object)];
    if (!(j > 0.0)) continue;
    const double mean = j * lit.cos_theta * lit.area * dt / (QE * w);
    const auto count = static_cast<int64_t>(std::trunc(mean + uniform()));
    const Triangle& t = objects[static_cast<std::size_t>(lit.object)].triangles[static_cast<std::size_t>(lit.triangle)];
    for (int64_t n = 0; n < count; ++n) {
      const double r1 = uniform(), r2 = uniform();
      const Vec3 point = pointOnTriangle(t, r1, r2);
      if (inShadow(scene, photo.light, lit, point)) continue;
      const Vec3 vel = lambertianVelocity(lit.normal, sigma, uniform);
      const double fraction = uniform();
      const Vec3 pos = point + photo.light.offset * lit.normal + (fraction * dt) * vel;
      if (!insideLimits(box, pos) || insideAnObject(veto, pos)) continue;
      if (distributed && !ownsPosition(starts, world.part.rank, pos.x)) continue;
      appendEnteringParticle(emitted, pos, vel, w);
      emitted_charge[static_cast<std::size_t>(lit.object)] += emitted.charge * w;
    }
  }
}

}  // namespace plasmabox
