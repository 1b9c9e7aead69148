#pragma once

#include "mesh/Vec3.h"

namespace plasmabox {

// Velocities of a Maxwellian plasma, drawn from the process-wide random
// source (rnd). Every function documents how many draws it takes, so that a
// run's sequence of draws is known.

// m/s, thermal speed sqrt(kT / m) of particles of mass m (kg) at temperature
// kT (eV): the standard deviation of each velocity component.
double thermalSpeed(double temperature_ev, double mass);

// One standard normal number (Box-Muller): two draws u1, u2, then
// sqrt(-2 ln(1 - u1)) cos(2 pi u2).
double normalDraw();

// Velocity of a Maxwellian at rest with thermal speed sigma (m/s): a normal
// number times sigma per component, x, y, z in that order (six draws).
Vec3 maxwellianVelocity(double sigma);

// Normal speed (m/s, positive) of a particle of a drifting Maxwellian
// (drift u along the normal, thermal speed sigma > 0) crossing a plane: a draw
// from the flux-weighted distribution v exp(-(v - u)^2 / (2 sigma^2)), v > 0.
// Exact for every drift: at u = 0 the closed-form inverse
// sigma sqrt(-2 ln(1 - r)) (one draw); otherwise a rejection method whose
// trials take 2 to 4 draws each and succeed with probability above 0.34
// (above 0.8 for u > 0), so a run's sequence of draws is fixed by its seed.
// A drift infinitely larger than sigma gives u (a cold beam) without a draw.
double crossingNormalSpeed(double u, double sigma);

// m^-2 s^-1, one-sided flux through a plane of a drifting Maxwellian of
// density n (m^-3), drift u along the normal, thermal speed sigma:
// n (sigma / sqrt(2 pi) exp(-u^2 / (2 sigma^2)) + u/2 (1 + erf(u / (sqrt(2) sigma)))).
// Not zero at zero drift: the thermal motion carries particles across.
double oneSidedFlux(double n, double u, double sigma);

}  // namespace plasmabox
