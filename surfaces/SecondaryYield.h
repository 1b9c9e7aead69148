#pragma once

#include <algorithm>
#include <cmath>

namespace plasmabox {

// How many secondary electrons one electron striking a surface sets free:
// the universal yield curve of a material, given by its peak.
struct SecondaryYield {
  double dmax = 0.0;  // secondaries per electron at the peak
  double emax = 0.0;  // eV, impact energy of the peak
};

// The largest angle from the normal the oblique-incidence factor follows
// (80 degrees): grazing impacts would otherwise give unbounded yields.
inline constexpr double SECONDARY_MIN_COS = 0.17364817766693041;  // cos(80 degrees)

// Secondaries per electron striking at energy_ev (eV) and cos_theta (the
// cosine of its angle from the surface normal): 7.4 dmax (E / emax)
// exp(-2 sqrt(E / emax)) at normal incidence, divided by cos(theta), theta
// capped at 80 degrees. 0 for no energy.
inline double secondaryYield(const SecondaryYield& y, double energy_ev, double cos_theta) {
  if (!(energy_ev > 0.0) || !(y.emax > 0.0)) return 0.0;
  const double x = energy_ev / y.emax;
  return 7.4 * y.dmax * x * std::exp(-2.0 * std::sqrt(x)) / std::max(std::fabs(cos_theta), SECONDARY_MIN_COS);
}

}  // namespace plasmabox
