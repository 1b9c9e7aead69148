#include "driver/runWarnings.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>

#include "mesh/constants.h"
#include "mesh/processReduction.h"

namespace plasmabox {

std::vector<std::string> fastParticleWarnings(const std::string& population, double mass, double temperature,
                                              const Vec3& drift, const Grid& grid, double dt) {
  std::vector<std::string> lines;
  const double c = std::sqrt(C2);                              // m/s
  const double thermal = std::sqrt(temperature * QE / mass);  // m/s, the spread of each component
  const double speed = std::sqrt(dot(drift, drift));           // m/s
  std::ostringstream line;
  const auto say = [&] {
    lines.push_back(line.str());
    line.str("");
  };
  if (thermal > 0.1 * c)
    line << "warning: " << population << " at " << temperature << " eV have a thermal speed of " << thermal
         << " m/s, above a tenth of the speed of light: the push is not relativistic", say();
  if (speed > 0.1 * c)
    line << "warning: " << population << " drift at " << speed
         << " m/s, above a tenth of the speed of light: the push is not relativistic", say();
  const double finest = std::min({grid.dh.x, grid.dh.y, grid.dh.z});  // m
  if (thermal * dt > finest)
    line << "warning: " << population << " at " << temperature << " eV cross " << thermal * dt / finest
         << " cells per step at their thermal speed (" << thermal << " m/s, dt " << dt << " s, spacing " << finest
         << " m): the push samples the field too coarsely; use a smaller dt", say();
  for (int axis = 0; axis < 3; ++axis) {
    const double cells = std::fabs(drift[axis]) * dt / grid.dh[axis];
    if (cells > 1.0)
      line << "warning: " << population << " cross " << cells << " cells per step along " << "xyz"[axis] << " (drift "
           << drift[axis] << " m/s, dt " << dt << " s, spacing " << grid.dh[axis]
           << " m): the push samples the field too coarsely; use a smaller dt", say();
  }
  return lines;
}

void warnOnFastParticles(const std::string& population, double mass, double temperature, const Vec3& drift,
                         const Grid& grid, double dt) {
  for (const std::string& line : fastParticleWarnings(population, mass, temperature, drift, grid, dt))
    std::cerr << line << std::endl;
}

Vec3 driftAlongNormal(int32_t face, double speed) {
  Vec3 drift;
  if (face == 1) drift.z = speed;
  if (face == 2) drift.x = speed;
  if (face == 3) drift.y = speed;
  return drift;
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
  const double ambient[2] = {s.ambient_density, boltzmannElectrons(s) ? 0.0 : s.ambient_density};
  double ne = 0.0;  // m^-3, the largest electron density the run starts with
  for (std::size_t q = 0; q < 2 && q < species.size(); ++q) {
    const double n = std::max({loaded[q] > s.loading_threshold ? loaded[q] : 0.0, injected[q], ambient[q]});
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
  const double kTe = boltzmannElectrons(s)   ? s.potential.kTe
                    : hasAmbient(s)           ? std::max(*s.ambient_temperature_e, s.temperature_e)
                                              : s.temperature_e;
  if (kTe > 0.0 && ne > 0.0) {
    const double debye = std::sqrt(EPS_0 * kTe / (ne * QE));  // m; kTe in eV: kTe * QE joules over QE^2
    const double cell = std::max({world.grid.dh.x, world.grid.dh.y, world.grid.dh.z});
    if (cell > 3.0 * debye)
      std::cerr << "warning: the cells (" << cell << " m) exceed three Debye lengths (" << debye
                << " m): the mesh heats the plasma numerically" << std::endl;
  }
}

}  // namespace plasmabox
