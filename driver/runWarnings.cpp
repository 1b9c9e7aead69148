#include "driver/runWarnings.h"

#include <algorithm>
#include <cmath>
#include <iostream>

#include "mesh/constants.h"
#include "mesh/processReduction.h"

namespace plasmabox {

void warnOnCoarseInjection(const std::string& species, int32_t face, double drift, const Grid& grid, double dt) {
  const int axis = face == 1 ? 2 : face == 2 ? 0 : face == 3 ? 1 : -1;  // the plane's normal
  if (axis < 0) return;  // this face injects nothing
  const double cells = std::fabs(drift) * dt / grid.dh[axis];
  if (!(cells > 1.0)) return;
  std::cerr << "warning: injected " << species << " cross " << cells << " cells per step along " << "xyz"[axis]
            << " (drift " << drift << " m/s, dt " << dt << " s, spacing " << grid.dh[axis]
            << " m): the push samples the field too coarsely; use a smaller dt" << std::endl;
}

// The leapfrog push misses the plasma oscillation above omega_p dt = 0.2
// (omega_pe for electron particles, omega_pi for the ions); above
// omega_ce dt = 0.5 it cannot follow the gyration; cells wider than three
// Debye lengths heat the plasma numerically. Boltzmann electrons are not
// pushed: only their Debye length counts.
void warnOnResolution(const World& world, const std::vector<Species>& species, const RunSettings& s) {
  const RunParameters& p = s.positional;
  const double loaded[2] = {p.density_i, p.density_e};  // species 0 "O+", 1 "e-"
  const double injected[2] = {injectsIons(p.inject_mode) ? std::fabs(p.ion_inject_density) : 0.0,
                              injectsElectrons(p.inject_mode) ? std::fabs(p.electron_inject_density) : 0.0};
  double ne = 0.0;  // m^-3, the largest electron density the run starts with
  for (std::size_t q = 0; q < 2 && q < species.size(); ++q) {
    const double n = std::max(loaded[q] > s.loading_threshold ? loaded[q] : 0.0, injected[q]);
    if (q == 1) ne = n;
    const double omega = std::sqrt(n * species[q].charge * species[q].charge / (EPS_0 * species[q].mass));  // rad/s
    if (omega * world.dt > 0.2)
      std::cerr << "warning: omega_p" << (q == 1 ? "e" : "i") << "*dt = " << omega * world.dt << " for " << species[q].name
                << " at " << n << " m^-3: above 0.2 the push misrepresents the plasma oscillation; use dt below "
                << 0.2 / omega << " s" << std::endl;
  }
  if (s.potential.method >= 1) ne = std::max(ne, s.potential.ne0);
  double b_max = 0.0;  // T
  for (const Vec3& b : world.B.data) b_max = std::max(b_max, std::sqrt(dot(b, b)));
  b_max = maxOverProcesses(world.part, b_max);
  const double omega_ce = QE * b_max / ME;
  if (s.magnetic_force && omega_ce * world.dt > 0.5)
    std::cerr << "warning: omega_ce*dt = " << omega_ce * world.dt << " in the largest B on the mesh (" << b_max
              << " T): above 0.5 the push cannot follow the electrons' gyration; use dt below " << 0.5 / omega_ce
              << " s" << std::endl;
  const double kTe = s.temperature_e > 0.0 ? s.temperature_e : s.potential.method >= 1 ? s.potential.kTe : 0.0;
  if (kTe > 0.0 && ne > 0.0) {
    const double debye = std::sqrt(EPS_0 * kTe / (ne * QE));  // m; kTe in eV: kTe * QE joules over QE^2
    const double cell = std::max({world.grid.dh.x, world.grid.dh.y, world.grid.dh.z});
    if (cell > 3.0 * debye)
      std::cerr << "warning: the cells (" << cell << " m) exceed three Debye lengths (" << debye
                << " m): the mesh heats the plasma numerically" << std::endl;
  }
}

}  // namespace plasmabox
