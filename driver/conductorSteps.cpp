#include "driver/conductorSteps.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "mesh/processReduction.h"
#include "solver/gaussCharge.h"
#include "solver/vacuumResponses.h"
#include "surfaces/floatingPotentials.h"

namespace plasmabox {

namespace {

// The charge on each conductor's own nodes, for the history.
void measureConductorCharges(Run& run) {
  ConductorSystem& sys = run.conductors;
  const std::vector<double> q =
      gaussCharges(*run.world, sys.conductor_of_node, static_cast<int32_t>(sys.conductors.size()));
  for (std::size_t c = 0; c < sys.conductors.size(); ++c) sys.conductors[c].charge = q[c];
}

// Secant steps of full solves (Boltzmann electrons: the charge is no linear
// function of the potentials) until every group's charge matches within a
// thousandth of its change in this step, or within the charge of a microvolt
// on it. Starts from the last step's potentials, moved by the charge still
// missing over the last measured slope (the vacuum capacitance at first: the
// plasma's screening only steepens it).
SolveReport iterateFloatingPotentials(Run& run) {
  ConductorSystem& sys = run.conductors;
  World& world = *run.world;
  const std::size_t n = static_cast<std::size_t>(sys.groups);
  std::vector<double> v = sys.group_potential, v_last(n), q_last(n);
  constexpr int MAX_ITERATIONS = 30;
  SolveReport report;
  for (int it = 0; it < MAX_ITERATIONS; ++it) {
    if (it == 0)
      for (std::size_t g = 0; g < n; ++g) v[g] += sys.group_change[g] / sys.group_slope[g];
    holdConductors(world, sys, v, world.time);
    run.potential->solve();
    report = {true, run.potential->last_iterations, run.potential->last_residual};
    const std::vector<double> q = gaussCharges(world, sys.group_of_node, sys.groups);
    bool matched = true;
    std::vector<double> next = v;
    for (std::size_t g = 0; g < n; ++g) {
      const double mismatch = sys.group_charge[g] - q[g];
      const double tolerance =
          std::max(1e-3 * std::fabs(sys.group_change[g]), 1e-6 * std::fabs(sys.capacitance[g * n + g]));
      if (std::fabs(mismatch) > tolerance) matched = false;
      if (it > 0 && v[g] != v_last[g] && q[g] != q_last[g] && (q[g] - q_last[g]) / (v[g] - v_last[g]) > 0.0)
        sys.group_slope[g] = (q[g] - q_last[g]) / (v[g] - v_last[g]);
      next[g] = v[g] + mismatch / sys.group_slope[g];
    }
    if (matched) break;
    v_last = v, q_last = q, v = next;
  }
  sys.group_potential = v;
  return report;
}

}  // namespace

void startConductors(Run& run) {
  ConductorSystem& sys = run.conductors;
  if (sys.conductors.empty()) return;
  World& world = *run.world;
  const std::map<std::string, double> held = heldVoltages(run.settings);
  for (const Conductor& c : sys.conductors)
    if (c.mode == ConductorMode::FLOATING) sys.group_potential[static_cast<std::size_t>(c.group)] = held.at(c.name);
  holdConductors(world, sys, sys.group_potential, world.time);  // what the voltage table put there
  if (sys.groups > 0) {
    sys.group_charge = gaussCharges(world, sys.group_of_node, sys.groups);
    VacuumResponses r = vacuumResponses(world, run.settings.potential, sys.group_of_node, sys.groups);
    sys.unit_potential = std::move(r.unit);
    sys.capacitance = std::move(r.capacitance);
    for (int32_t g = 0; g < sys.groups; ++g)
      sys.group_slope.push_back(sys.capacitance[static_cast<std::size_t>(g) * (sys.groups + 1)]);
  }
  measureConductorCharges(run);
}

void collectConductorCharge(Run& run) {
  ConductorSystem& sys = run.conductors;
  if (sys.groups == 0) return;
  World& world = *run.world;
  std::vector<double> collected = run.collected;  // C per object
  if (world.part.distributed()) sumOverProcesses(world.part, collected);
  std::fill(sys.group_change.begin(), sys.group_change.end(), 0.0);
  for (const Conductor& c : sys.conductors) {
    if (c.group < 0) continue;
    double q = collected[static_cast<std::size_t>(c.object)];
    if (world.electron_fluid) {
      // The fluid is everywhere at once: its current is counted once, on the first process.
      const double current = boltzmannElectronCurrent(*world.electron_fluid, c.potential, c.area);
      q += current * world.dt;
      if (world.part.rank == 0) run.currents[static_cast<std::size_t>(c.object)] += current;
    }
    sys.group_change[static_cast<std::size_t>(c.group)] += q;
  }
  for (std::size_t g = 0; g < sys.group_charge.size(); ++g) sys.group_charge[g] += sys.group_change[g];
}

SolveReport solveWithConductors(Run& run) {
  ConductorSystem& sys = run.conductors;
  World& world = *run.world;
  if (sys.groups > 0 && world.electron_fluid) {
    const SolveReport report = iterateFloatingPotentials(run);
    measureConductorCharges(run);
    return report;
  }
  // Linear: start from the last potential with every group at 0 V, solve,
  // and add each group's vacuum response times the potential that gives it
  // its charge.
  const std::vector<double> zero(static_cast<std::size_t>(sys.groups), 0.0);
  addUnitPotentials(world, sys, sys.group_potential, -1.0);
  holdConductors(world, sys, zero, world.time);
  run.potential->solve();
  const SolveReport report{true, run.potential->last_iterations, run.potential->last_residual};
  if (sys.groups > 0) {
    const std::vector<double> induced = gaussCharges(world, sys.group_of_node, sys.groups);
    sys.group_potential = floatingPotentials(sys.capacitance, sys.group_charge, induced);
    addUnitPotentials(world, sys, sys.group_potential, 1.0);
    holdConductors(world, sys, sys.group_potential, world.time);
  }
  measureConductorCharges(run);
  return report;
}

std::vector<std::string> conductorColumns(const ConductorSystem& sys) {
  std::vector<std::string> columns;
  for (const Conductor& c : sys.conductors) {
    columns.push_back("potential_" + c.name + "_V");
    if (c.mode != ConductorMode::RAMPED) columns.push_back("charge_" + c.name + "_C");
  }
  return columns;
}

std::vector<double> conductorValues(const ConductorSystem& sys) {
  std::vector<double> values;
  for (const Conductor& c : sys.conductors) {
    values.push_back(c.potential);
    if (c.mode != ConductorMode::RAMPED) values.push_back(c.charge);
  }
  return values;
}

}  // namespace plasmabox
