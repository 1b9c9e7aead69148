#include "driver/simulation.h"

#include <cstdint>
#include <iostream>
#include <map>
#include <optional>

#include "driver/RunParameters.h"
#include "geometry/amfread.h"
#include "geometry/objectPasses.h"
#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "output/stepLine.h"
#include "output/stepOutput.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/deposition.h"
#include "particles/injection.h"
#include "particles/loading.h"
#include "particles/push.h"
#include "solver/MagnetostaticSolver.h"
#include "solver/PotentialSolver.h"

namespace {

constexpr int32_t NUM_THREADS = 60;
constexpr double TIME_STEP = 1e-11;  // s
constexpr int32_t NUM_STEPS = 100;   // the loop runs steps 0 to NUM_STEPS
constexpr int MACRO_WEIGHT = 50;     // real particles per macro-particle
constexpr double LOADING_THRESHOLD = 10.0;  // m^-3; loading densities up to this load nothing

// Creates "O+" and "e-" (in this order: every per-species loop follows it) and
// loads them into their boxes, electrons first.
std::vector<Species> createSpecies(World& world, const RunParameters& p) {
  std::vector<Species> species;
  species.reserve(2);  // sources keep pointers into this list: it must never grow
  species.emplace_back("O+", p.ion_mass_amu * AMU, QE, MACRO_WEIGHT, world);
  species.emplace_back("e-", ME, -QE, MACRO_WEIGHT, world);
  std::cout << "Size of species: " << species.size() << std::endl;

  if (p.density_e > LOADING_THRESHOLD)
    loadParticlesBox(species[1], p.electron_box_1, p.electron_box_2, p.density_e);
  else
    std::cout << "Skipping electrons: density_e=" << p.density_e << "\n";
  if (p.density_i > LOADING_THRESHOLD)
    loadParticlesBox(species[0], p.ion_box_1, p.ion_box_2, p.density_i);
  else
    std::cout << "Skipping ions:    density_i=" << p.density_i << "\n";
  return species;
}

// Electrostatic potential of the electrodes, magnetisation of the magnets, the
// magnetostatic fields and the first field update, before the first step. The
// potential solved here is the only one of the run.
void initialiseFields(World& world, const RunParameters& p,
                      const std::map<std::string, Vec3>& magnetisation) {
  PotentialSolver potential(world, 0, p.solver_max_it, p.solver_tol, 0.0, 1e12, 1.5);
  potential.buildMatrix();
  potential.solve();

  amfread_magvector(world, magnetisation);

  MagnetostaticSolver magnetostatic(world, p.mag_max_it, p.mag_tol);
  magnetostatic.solveMagnetostatics();

  updateFields(world);
}

}  // namespace

int runSimulation(const std::vector<std::string>& args, std::istream& input) {
  const std::optional<RunParameters> parsed = parseRunParameters(args);
  if (!parsed) return 1;
  RunParameters p = *parsed;
  validateRunParameters(p);

  World world(p.ni, p.nj, p.nk);
  world.num_threads = NUM_THREADS;
  world.setExtents(p.x0, p.xm);
  world.dt = TIME_STEP;
  world.num_ts = NUM_STEPS;

  amfread(world, p.amf_path, input);

  overrideRemanence(p.remanence);
  const std::map<std::string, Vec3> magnetisation = buildMagnetisationTable(args, p.remanence);
  amfread_voltage(world, buildVoltageTable());

  std::vector<Species> species = createSpecies(world, p);

  const bool ions_injected = injectsIons(p.inject_mode);
  const bool electrons_injected = injectsElectrons(p.inject_mode);
  std::vector<Source> ion_sources, electron_sources;
  if (ions_injected)
    ion_sources.push_back({&species[0], &world, p.ion_drift_speed, p.ion_inject_density});
  if (electrons_injected)
    electron_sources.push_back({&species[1], &world, p.electron_drift_speed, p.electron_inject_density});

  initialiseFields(world, p, magnetisation);

  while (true) {
    world.time += world.dt;
    const int32_t previous = world.ts;
    world.ts = previous + 1;
    if (previous >= world.num_ts) break;

    const int64_t t0 = steadyNanoseconds();
    if (ions_injected)
      for (Source& s : ion_sources) injectFromPlane(s, p.ion_inject_face, p.ion_inject_1, p.ion_inject_2);
    if (electrons_injected)
      for (Source& s : electron_sources)
        injectFromPlane(s, p.electron_inject_face, p.electron_inject_1, p.electron_inject_2);
    for (Species& s : species) {
      advance(s, static_cast<uint32_t>(world.num_threads));
      computeGasProperties(s);
    }
    const int64_t t1 = steadyNanoseconds();
    std::cout << "mv_part time: " << static_cast<double>(t1 - t0) / 1e9 << " seconds" << std::endl;

    computeChargeDensity(world, species);
    computeCurrentDensity(world, species);
    updateFields(world);
    printStepLine(world, species);

    const std::string step = std::to_string(world.ts);
    const std::string o_file = p.csv_prefix + "output_O_" + step + ".csv";
    const std::string e_file = p.csv_prefix + "output_e_" + step + ".csv";
    if (world.ts % p.output_interval == 0) writeOutput(world, species, o_file, e_file);
  }

  std::cout << "Simulation took " << world.getWallTime() << " seconds" << std::endl;
  return 0;
}
