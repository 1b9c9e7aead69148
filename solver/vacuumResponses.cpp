#include "solver/vacuumResponses.h"

#include <algorithm>
#include <utility>

#include "solver/PotentialSolver.h"
#include "solver/gaussCharge.h"

namespace plasmabox {

VacuumResponses vacuumResponses(World& world, const PotentialSettings& settings, const IntField& labels, int32_t count) {
  VacuumResponses r;
  if (count <= 0) return r;
  PotentialSettings s = settings;
  s.method = 0;
  s.quiet = true;
  s.zero_mean_when_singular = false;  // the group at 1 V holds the potential
  // The residual (V/m^2) that leaves about 1e-7 V of error over the box, for potentials of order 1 V.
  const Grid& g = world.grid;
  const double extent = std::max({g.xm.x - g.x0.x, g.xm.y - g.x0.y, g.xm.z - g.x0.z});
  s.tol = std::min(settings.tol, 1e-6 / (extent * extent));
  s.max_it = std::max(settings.max_it, s.multigrid ? 200 : 20000);
  Field phi = world.phi, rho = world.rho;  // kept, to be put back
  std::fill(world.rho.data.begin(), world.rho.data.end(), 0.0);
  PotentialSolver solver(world, s);
  r.capacitance.assign(static_cast<std::size_t>(count) * static_cast<std::size_t>(count), 0.0);
  for (int32_t group = 0; group < count; ++group) {
    for (std::size_t q = 0; q < world.phi.data.size(); ++q) world.phi.data[q] = labels.data[q] == group ? 1.0 : 0.0;
    solver.solve();
    const std::vector<double> q = gaussCharges(world, labels, count);
    for (int32_t h = 0; h < count; ++h)
      r.capacitance[static_cast<std::size_t>(h) * static_cast<std::size_t>(count) + static_cast<std::size_t>(group)] =
          q[static_cast<std::size_t>(h)];
    r.unit.push_back(world.phi);
  }
  world.phi = std::move(phi);
  world.rho = std::move(rho);
  return r;
}

}  // namespace plasmabox
