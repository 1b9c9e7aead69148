#include "environment/wallFlux.h"

#include <cmath>

#include "particles/maxwellian.h"

namespace plasmabox {

WallPlace wallPlace(const Grid& grid, int w) {
  WallPlace p;
  p.axis = w / 2;
  const bool upper = w % 2 == 1;
  p.inward = upper ? -1.0 : 1.0;
  p.position = upper ? grid.xm[p.axis] : grid.x0[p.axis];
  return p;
}

double wallArea(const Grid& grid, int w) {
  const int axis = w / 2;
  const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
  return std::fabs((grid.xm[a1] - grid.x0[a1]) * (grid.xm[a2] - grid.x0[a2]));
}

double wallMacroParticles(const Ambient& a, double mass, double weight, const Grid& grid, int w, double dt) {
  if (!(a.density > 0.0)) return 0.0;
  const WallPlace place = wallPlace(grid, w);
  const double u = place.inward * a.drift[place.axis];  // m/s, drift into the box
  const double sigma = thermalSpeed(a.temperature, mass);
  // m^-2 s^-1; a cold population crosses only when it drifts inwards.
  const double flux = sigma > 0.0 ? oneSidedFlux(a.density, u, sigma) : (u > 0.0 ? a.density * u : 0.0);
  return flux * wallArea(grid, w) * dt / weight;
}

}  // namespace plasmabox
