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
// (drift u along the normal, thermal speed sigma) crossing a plane: drawn
// from the flux-weighted distribution v exp(-(v - u)^2 / (2 sigma^2)), v > 0,
// by inverting its distribution function (one draw).
double crossingNormalSpeed(double u, double sigma);

// m^-2 s^-1, one-sided flux through a plane of a drifting Maxwellian of
// density n (m^-3), drift u along the normal, thermal speed sigma:
// n (sigma / sqrt(2 pi) exp(-u^2 / (2 sigma^2)) + u/2 (1 + erf(u / (sqrt(2) sigma)))).
// Not zero at zero drift: the thermal motion carries particles across.
double oneSidedFlux(double n, double u, double sigma);

}  // namespace plasmabox
