#include <signal.h>

#include <algorithm>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <string>

#include "driver/Run.h"
#include "driver/checkpointRun.h"
#include "driver/conductorSteps.h"
#include "driver/emissionSteps.h"
#include "driver/historyColumns.h"
#include "driver/consoleClock.h"
#include "driver/stopOnNonFinite.h"
#include "environment/injectAmbient.h"
#include "mesh/fieldOperators.h"
#include "output/historyRow.h"
#include "output/stepLine.h"
#include "particles/deposition.h"
#include "particles/injection.h"
#include "particles/migrateParticles.h"
#include "particles/objectCurrents.h"
#include "particles/push.h"
#include "particles/settleMovers.h"
#include "surfaces/collectImpacts.h"

namespace plasmabox {

namespace {

// The failures and signals the tests provoke (see TestFailure).
void failIfAsked(const TestFailure& failure, World& world) {
  if (world.ts == failure.signal_step && world.part.rank == failure.signal_rank)
    for (int n = 0; n < failure.signal_count; ++n) raise(failure.signal);
  if (world.ts != failure.step || world.part.rank != failure.rank) return;
  if (failure.nan)
    world.phi.data[world.phi.index(world.grid.ownedBegin(), 0, 0)] = std::numeric_limits<double>::quiet_NaN();
  else
    throw std::runtime_error("test failure on process " + std::to_string(failure.rank) + " at step " +
                             std::to_string(failure.step));
}

// Injects through the plane sources, counting what each species received.
void injectFromPlanes(Run& run) {
  std::vector<std::size_t> before;
  for (const Species& sp : run.species) before.push_back(sp.particles.size());
  injectFromSources(run.sources);
  for (std::size_t q = 0; q < run.species.size(); ++q)
    run.flows[q] = {static_cast<int64_t>(run.species[q].particles.size() - before[q]), 0};
}

// Pushes every species in list order, collects their impacts, lets the
// ambient plasma in through the walls, lets the surfaces emit, then hands the
// particles over between processes and deposits. The push deposits the
// particles that stay near their tile as it goes; computeGasProperties adds
// the rest. Everything a species gains in the step (ambient, emitted) stands
// where it is at the step's end and is not pushed before the next step.
void moveParticles(Run& run) {
  const RunSettings& s = run.settings;
  const World& world = *run.world;
  const Moments moments = stepMoments(run);
  // Only electrons set secondaries free, and only where some object has a yield.
  const bool secondaries = !s.secondary_yields.empty();
  std::fill(run.currents.begin(), run.currents.end(), 0.0);
  std::fill(run.collected.begin(), run.collected.end(), 0.0);
  for (std::size_t q = 0; q < run.species.size(); ++q) {
    Species& sp = run.species[q];
    ParticleFlow& flow = run.flows[q];
    pushParticles(sp, run.objects, run.clear_cells, s.threads, s.magnetic_force, moments);
    absorbedWeights(sp.moves, run.objects.size(), run.absorbed);
    flow.lost = particlesLeftMesh(sp.moves);
    if (secondaries && sp.charge < 0.0) {
      run.impacts[q].clear();
      collectImpacts(sp.moves, world.dt, run.scene, run.impacts[q]);
    }
    settleMovers(sp);
    flow.injected += injectAmbient(sp, run.ambient[q], run.veto);
    addObjectCurrents(run.currents, sp.charge, run.absorbed, world.dt);
    for (std::size_t o = 0; o < run.collected.size(); ++o) run.collected[o] += sp.charge * run.absorbed[o];
  }
  emitElectrons(run);
  for (Species& sp : run.species) {
    run.bytes_migrated += migrateParticles(sp, s.threads).bytes_sent;  // before anything gathers or deposits with them
    computeGasProperties(sp, s.threads, moments);
  }
}

// The field update of the run's model, from the step's charge (and current).
// Returns what the step's potential solve reports (nothing solved: the
// induction model, or a step between two solves).
SolveReport advanceFields(Run& run) {
  const RunSettings& s = run.settings;
  World& world = *run.world;
  SolveReport report;
  if (s.field_model == FieldModel::ELECTROSTATIC) {
    collectConductorCharge(run);
    if (world.ts % s.solve_every == 0) {
      if (run.conductors.conductors.empty()) {
        run.potential->solve();
        report = {true, run.potential->last_iterations, run.potential->last_residual};
      } else {
        report = solveWithConductors(run);
      }
    }
    electrostaticField(world);
  } else {
    computeCurrentDensity(world, run.species);  // only the induction step reads the total current
    updateFields(world);
  }
  if (run.motional_field != Vec3{}) addUniform(world.ef, run.motional_field);
  return report;
}

// The history row of the step: every process measures (its totals need them
// all), the first writes.
void recordHistory(Run& run, const SolveReport& solve) {
  if (run.settings.history_path.empty()) return;
  HistoryRow row = measureHistoryRow(*run.world, run.species, run.flows, solve, run.currents);
  row.extra = historyExtraValues(run);
  writeHistoryRow(run.history, row);  // a file only the first process holds open
}

}  // namespace

Moments stepMoments(const Run& run) {
  if (run.settings.field_model != FieldModel::ELECTROSTATIC) return Moments::FULL;
  return fieldOutputDue(run.output, run.world->ts) ? Moments::FULL : Moments::DENSITY;
}

void runStep(Run& run) {
  World& world = *run.world;
  failIfAsked(run.test_failure, world);

  const int64_t t0 = steadyNanoseconds();
  injectFromPlanes(run);
  moveParticles(run);
  const int64_t t1 = steadyNanoseconds();
  std::cout << "mv_part time: " << secondsText(static_cast<double>(t1 - t0) / 1e9, run.digits) << " seconds"
            << std::endl;

  computeChargeDensity(world, run.species);
  const SolveReport solve = advanceFields(run);
  stopOnNonFiniteFields(run, solve);  // before anything of the step is written
  printStepLine(world, run.species);
  run.digits = 3;
  recordHistory(run, solve);
  writeStepOutput(run.output, world, run.species);
  writeDueCheckpoint(run);
}

}  // namespace plasmabox
