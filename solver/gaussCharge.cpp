#include "solver/gaussCharge.h"

#include "mesh/constants.h"
#include "mesh/processReduction.h"

namespace plasmabox {

namespace {

// (phi[-] - 2 phi + phi[+]) / h^2 along one axis, a missing neighbour
// mirroring the other.
inline double secondDifference(double below, double at, double above, bool has_below, bool has_above, double h2) {
  const double lo = has_below ? below : above, hi = has_above ? above : below;
  return (lo - 2.0 * at + hi) / h2;
}

}  // namespace

std::vector<double> gaussCharges(const World& world, const IntField& labels, int32_t count) {
  std::vector<double> q(static_cast<std::size_t>(count > 0 ? count : 0), 0.0);
  const Grid& g = world.grid;
  const Field& phi = world.phi;
  const double hx2 = g.dh.x * g.dh.x, hy2 = g.dh.y * g.dh.y, hz2 = g.dh.z * g.dh.z;
  for (int32_t i = g.ownedBegin(); i < g.ownedEnd(); ++i)
    for (int32_t j = 0; j < g.nj; ++j)
      for (int32_t k = 0; k < g.nk; ++k) {
        const int32_t label = labels(i, j, k);
        if (label < 0 || label >= count) continue;
        const double p = phi(i, j, k);
        // Along x the box's walls are the global planes 0 and gni - 1; a slab's
        // other border planes have their neighbour in a ghost plane.
        const bool x_lo = g.i0 + i > 0, x_hi = g.i0 + i < g.gni - 1;
        const double lap =
            secondDifference(x_lo ? phi(i - 1, j, k) : 0.0, p, x_hi ? phi(i + 1, j, k) : 0.0, x_lo, x_hi, hx2) +
            secondDifference(j > 0 ? phi(i, j - 1, k) : 0.0, p, j < g.nj - 1 ? phi(i, j + 1, k) : 0.0, j > 0,
                             j < g.nj - 1, hy2) +
            secondDifference(k > 0 ? phi(i, j, k - 1) : 0.0, p, k < g.nk - 1 ? phi(i, j, k + 1) : 0.0, k > 0,
                             k < g.nk - 1, hz2);
        q[static_cast<std::size_t>(label)] += g.node_vol(i, j, k) * (-EPS_0 * lap - world.rho(i, j, k));
      }
  if (world.part.distributed()) sumOverProcesses(world.part, q);
  return q;
}

}  // namespace plasmabox
