#include "mesh/fieldEnergy.h"

#include "mesh/constants.h"

#include <algorithm>

#include "mesh/processReduction.h"

namespace plasmabox {

double electricFieldEnergy(const World& world) {
  const Grid& g = world.grid;
  const std::size_t plane = static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk);
  // The owned planes only: a ghost plane's nodes count on their owner.
  const std::size_t begin = plane * static_cast<std::size_t>(g.ownedBegin());
  const std::size_t end = std::min(world.ef.size(), plane * static_cast<std::size_t>(g.ownedEnd()));
  const Vec3* e = world.ef.data.data();
  const double* vol = g.node_vol.data.data();
  double sum = 0.0;
  for (std::size_t n = begin; n < end; ++n) sum += dot(e[n], e[n]) * vol[n];
  return 0.5 * EPS_0 * sumOverProcesses(world.part, sum);
}

}  // namespace plasmabox
