#include "driver/Run.h"
#include "driver/conductorSteps.h"
#include "driver/runWarnings.h"
#include "driver/stopOnNonFinite.h"
#include "geometry/objectPasses.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "particles/deposition.h"
#include "solver/MagnetostaticSolver.h"

namespace plasmabox {

void initialiseFields(Run& run) {
  const RunSettings& s = run.settings;
  World& world = *run.world;
  const bool electrostatic = s.field_model == FieldModel::ELECTROSTATIC;
  // A restart's checkpoint holds the potential and E (and the induction
  // model's B): solving for them here would be thrown away.
  const bool restarting = !s.restart_path.empty();
  // The electrostatic model deposits the loaded particles first, so that the
  // first push already sees their charge.
  if (electrostatic && !restarting) {
    for (Species& sp : run.species) computeGasProperties(sp, s.threads, Moments::DENSITY);
    computeChargeDensity(world, run.species);
  }
  run.potential = std::make_unique<PotentialSolver>(world, s.potential);
  run.potential->buildMatrix();
  if (!restarting) run.potential->solve();
  // The vacuum responses do not depend on the state; the charges and
  // potentials this finds from the set-up solve a restart then replaces.
  if (electrostatic) startConductors(run);
  const SolveReport setup{true, run.potential->last_iterations, run.potential->last_residual};
  if (!electrostatic) run.potential.reset();  // never solves again: its memory goes before the magnetostatic solve's
  amfread_magvector(world, run.objects, run.magnetisation, s.threads);
  MagnetostaticSolver(world, s.magnetostatic).solveMagnetostatics();
  // The uniform background (the geomagnetic field) on top of the magnets':
  // B and H show the sum, and the push turns the particles in it.
  if (s.background_B != Vec3{}) {
    addUniform(world.B, s.background_B);
    addUniform(world.H, (1.0 / MU_0) * s.background_B);
  }
  if (restarting) {
    if (electrostatic) run.potential->settings.quiet = true;
    return;
  }
  if (electrostatic) {
    electrostaticField(world);
    if (run.motional_field != Vec3{}) addUniform(world.ef, run.motional_field);
    warnOnResolution(world, run.species, s);
    run.potential->settings.quiet = true;  // per-step solves print only their failure lines
  } else {
    updateFields(world);
    if (run.motional_field != Vec3{}) addUniform(world.ef, run.motional_field);
  }
  stopOnNonFiniteFields(run, setup);
}

}  // namespace plasmabox
