#pragma once

#include <vector>

#include "mesh/ElectronFluid.h"
#include "mesh/World.h"
#include "surfaces/Conductor.h"

namespace plasmabox {

// V per group: the potentials V at which every floating group carries its
// charge, from the superposition
//   target[h] = induced[h] + sum over g of capacitance[h * n + g] V[g],
// induced being the charges (C) of the solve with every group at 0 V and the
// capacitance matrix that of ConductorSystem (F). A small dense solve
// (Gaussian elimination with partial pivoting). Throws std::runtime_error when
// the matrix is singular (a group that holds no node).
std::vector<double> floatingPotentials(const std::vector<double>& capacitance, const std::vector<double>& target,
                                       const std::vector<double>& induced);

// Writes each conductor's potential onto its nodes (every stored node of
// world.phi): a floating one group_volts[group], a biased one
// group_volts[group] + bias, a ramped one voltageAt(ramp, time). Records each
// conductor's potential in it.
void holdConductors(World& world, ConductorSystem& sys, const std::vector<double>& group_volts, double time);

// world.phi += sign * sum over groups g of volts[g] * unit_potential[g], at
// every stored node.
void addUnitPotentials(World& world, const ConductorSystem& sys, const std::vector<double>& volts, double sign);

// A, the current of Boltzmann electrons that a conductor of the given area
// (m^2) at potential (V) collects in the thin-sheath model: their thermal flux
// -e ne0 sqrt(kTe e / (2 pi me)) area, times exp((potential - phi0) / kTe)
// below phi0 (the retarded electrons), alone at and above it. Negative.
double boltzmannElectronCurrent(const ElectronFluid& fluid, double potential, double area);

}  // namespace plasmabox
