#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/RunSettings.h"
#include "mesh/Grid.h"
#include "mesh/World.h"
#include "particles/Species.h"

namespace plasmabox {

// The warnings for one population of particles, whatever made it (loading,
// a plane source, the surroundings): population names it ("loaded e-"), mass
// in kg, temperature in eV, drift in m/s. One line each for
//  - a thermal speed sqrt(T e / m) or a drift speed above a tenth of the speed
//    of light: the push is not relativistic;
//  - a thermal speed, or a drift component, that crosses more than one cell
//    per step of dt seconds: the push samples the field too coarsely.
// Empty when none applies.
std::vector<std::string> fastParticleWarnings(const std::string& population, double mass, double temperature,
                                              const Vec3& drift, const Grid& grid, double dt);

// Prints fastParticleWarnings on standard error (once, at set-up). The run goes on.
void warnOnFastParticles(const std::string& population, double mass, double temperature, const Vec3& drift,
                         const Grid& grid, double dt);

// The drift (m/s) of a plane source's particles: speed along the normal of
// face (1 z, 2 x, 3 y); zero for other faces, which inject nothing.
Vec3 driftAlongNormal(int32_t face, double speed);

// Warns on standard error where the electrostatic model's step or mesh cannot
// resolve the plasma: a pushed species' plasma frequency times dt above 0.2,
// omega_ce * dt above 0.5 in the largest B on the mesh, cells larger than
// three Debye lengths. Every process of a run must call it (the largest B is
// a maximum over them). The run goes on.
void warnOnResolution(const World& world, const std::vector<Species>& species, const RunSettings& settings);

}  // namespace plasmabox
