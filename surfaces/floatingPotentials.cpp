#include "surfaces/floatingPotentials.h"

#include <cmath>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "mesh/constants.h"

namespace plasmabox {

std::vector<double> floatingPotentials(const std::vector<double>& capacitance, const std::vector<double>& target,
                                       const std::vector<double>& induced) {
  const std::size_t n = target.size();
  std::vector<double> a = capacitance, v(n);
  for (std::size_t h = 0; h < n; ++h) v[h] = target[h] - induced[h];
  for (std::size_t col = 0; col < n; ++col) {
    std::size_t pivot = col;
    for (std::size_t r = col + 1; r < n; ++r)
      if (std::fabs(a[r * n + col]) > std::fabs(a[pivot * n + col])) pivot = r;
    if (!(std::fabs(a[pivot * n + col]) > 0.0))
      throw std::runtime_error("the capacitance matrix of the floating conductors is singular: a floating object "
                               "holds no mesh node (make it at least two node spacings thick)");
    if (pivot != col) {
      for (std::size_t c = 0; c < n; ++c) std::swap(a[col * n + c], a[pivot * n + c]);
      std::swap(v[col], v[pivot]);
    }
    for (std::size_t r = col + 1; r < n; ++r) {
      const double f = a[r * n + col] / a[col * n + col];
      for (std::size_t c = col; c < n; ++c) a[r * n + c] -= f * a[col * n + c];
      v[r] -= f * v[col];
    }
  }
  for (std::size_t col = n; col-- > 0;) {
    for (std::size_t c = col + 1; c < n; ++c) v[col] -= a[col * n + c] * v[c];
    v[col] /= a[col * n + col];
  }
  return v;
}

void holdConductors(World& world, ConductorSystem& sys, const std::vector<double>& group_volts, double time) {
  for (Conductor& c : sys.conductors)
    c.potential = c.mode == ConductorMode::RAMPED     ? voltageAt(c.ramp, time)
                  : c.mode == ConductorMode::FLOATING ? group_volts[static_cast<std::size_t>(c.group)]
                                                      : group_volts[static_cast<std::size_t>(c.group)] + c.bias;
  const int32_t* node = sys.conductor_of_node.data.data();
  double* phi = world.phi.data.data();
  for (std::size_t q = 0; q < sys.conductor_of_node.data.size(); ++q)
    if (node[q] >= 0) phi[q] = sys.conductors[static_cast<std::size_t>(node[q])].potential;
}

void addUnitPotentials(World& world, const ConductorSystem& sys, const std::vector<double>& volts, double sign) {
  double* phi = world.phi.data.data();
  const std::size_t nodes = world.phi.data.size();
  for (std::size_t g = 0; g < sys.unit_potential.size(); ++g) {
    const double v = sign * volts[g];
    if (v == 0.0) continue;
    const double* unit = sys.unit_potential[g].data.data();
    for (std::size_t q = 0; q < nodes; ++q) phi[q] += v * unit[q];
  }
}

double boltzmannElectronCurrent(const ElectronFluid& fluid, double potential, double area) {
  const double thermal = -QE * fluid.ne0 * std::sqrt(fluid.kTe * QE / (2.0 * std::numbers::pi * ME)) * area;  // A
  return potential < fluid.phi0 ? thermal * std::exp((potential - fluid.phi0) / fluid.kTe) : thermal;
}

}  // namespace plasmabox
