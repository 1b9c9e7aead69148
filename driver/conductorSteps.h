#pragma once

#include <string>
#include <vector>

#include "driver/Run.h"
#include "output/historyRow.h"

namespace plasmabox {

// The phases of a run with floating, biased or ramped objects: the driver
// keeps their order; the arithmetic lives in surfaces/ and solver/.

// After the set-up solve (electrostatic model): each floating group's start
// charge (Gauss's law on the solved potential at its voltage.NAME), each
// conductor's charge, and the groups' vacuum responses (one Laplace solve per
// group). Every process must call it.
void startConductors(Run& run);

// Adds the step's collected charge to each floating group (the particles its
// objects absorbed, summed over the processes, and with Boltzmann electrons
// their thermal current at the group's potential times dt, which also enters
// the objects' currents). Every process must call it, every step.
void collectConductorCharge(Run& run);

// The step's potential with the conductors: ramped ones at their potential of
// this step, floating groups at the potential where each holds its charge
// (linear solve: one solve with the groups at 0 V plus the vacuum responses;
// Boltzmann electrons: a secant iteration of full solves on the charge
// mismatch). Returns the last solve's report.
SolveReport solveWithConductors(Run& run);

// The history columns of the conductors: potential_NAME_V and charge_NAME_C
// of each floating and biased object, potential_NAME_V of each ramped one.
std::vector<std::string> conductorColumns(const ConductorSystem& sys);

// Their values after the step's solve, in the same order.
std::vector<double> conductorValues(const ConductorSystem& sys);

}  // namespace plasmabox
