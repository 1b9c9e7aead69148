#pragma once

#include <cmath>

namespace plasmabox {

// Electrons in Boltzmann equilibrium with the potential, instead of particles:
// their density at a node follows from phi there.
struct ElectronFluid {
  double ne0 = 0.0;   // m^-3, density where phi = phi0
  double phi0 = 0.0;  // V, reference potential
  double kTe = 0.0;   // eV, temperature (kTe / e in volts)

  // m^-3, ne0 exp((phi - phi0) / kTe) at potential phi (V).
  double density(double phi) const { return ne0 * std::exp((phi - phi0) / kTe); }
};

}  // namespace plasmabox
