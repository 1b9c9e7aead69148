#include "driver/Run.h"
#include "driver/runWarnings.h"
#include "geometry/objectPasses.h"
#include "mesh/fieldOperators.h"
#include "particles/deposition.h"
#include "solver/MagnetostaticSolver.h"

namespace plasmabox {

void initialiseFields(Run& run) {
  const RunSettings& s = run.settings;
  World& world = *run.world;
  const bool electrostatic = s.field_model == FieldModel::ELECTROSTATIC;
  // The electrostatic model deposits the loaded particles first, so that the
  // first push already sees their charge.
  if (electrostatic) {
    for (Species& sp : run.species) computeGasProperties(sp, s.threads, Moments::DENSITY);
    computeChargeDensity(world, run.species);
  }
  run.potential = std::make_unique<PotentialSolver>(world, s.potential);
  run.potential->buildMatrix();
  run.potential->solve();
  if (!electrostatic) run.potential.reset();  // never solves again: its memory goes before the magnetostatic solve's
  amfread_magvector(world, run.objects, run.magnetisation, s.threads);
  MagnetostaticSolver(world, s.magnetostatic).solveMagnetostatics();
  if (electrostatic) {
    electrostaticField(world);
    warnOnResolution(world, run.species, s);
    run.potential->settings.quiet = true;  // per-step solves print only their failure lines
  } else {
    updateFields(world);
  }
}

}  // namespace plasmabox
