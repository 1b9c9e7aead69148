#pragma once

namespace plasmabox {

// Physical constants, SI units. The values are part of the program's results:
// changing a digit changes every output file.
inline constexpr double AMU = 1.660538921e-27;  // kg, atomic mass unit
inline constexpr double QE = 1.602176565e-19;   // C, elementary charge
inline constexpr double ME = 9.10938215e-31;    // kg, electron mass
inline constexpr double EPS_0 = 8.85418782e-12; // F/m, vacuum permittivity
inline constexpr double MU_0 = 1.2566370612e-6; // H/m, vacuum permeability
inline constexpr double C2 = 9e16;              // m^2/s^2, speed of light squared

}  // namespace plasmabox
