#include "mesh/fieldEnergy.h"

#include "mesh/constants.h"

namespace plasmabox {

double electricFieldEnergy(const World& world) {
  const Vec3* e = world.ef.data.data();
  const double* vol = world.grid.node_vol.data.data();
  double sum = 0.0;
  for (std::size_t n = 0; n < world.ef.size(); ++n) sum += dot(e[n], e[n]) * vol[n];
  return 0.5 * EPS_0 * sum;
}

}  // namespace plasmabox
