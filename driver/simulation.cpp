#include "driver/simulation.h"

#include "driver/processConsole.h"
#include "driver/runOptions.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

#include "geometry/AmfObject.h"
#include "geometry/amfread.h"
#include "geometry/findClearCells.h"
#include "geometry/objectPasses.h"
#include "mesh/World.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "mesh/fieldEnergy.h"
#include "mesh/ghostPlanes.h"
#include "output/historyFile.h"
#include "output/stepLine.h"
#include "output/runOutput.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/deposition.h"
#include "particles/injection.h"
#include "particles/loading.h"
#include "particles/migrateParticles.h"
#include "particles/push.h"
#include "particles/random.h"
#include "particles/sortParticles.h"
#include "particles/speciesTotals.h"
#include "solver/MagnetostaticSolver.h"
#include "solver/PotentialSolver.h"

namespace plasmabox {

namespace {

int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Console numbers keep the stream's default 6 significant digits until the
// first step line; the timing lines from then on show 3, which is all a
// per-step timing needs. Formatted here, so std::cout's own state never changes.
std::string secondsText(double seconds, int digits) {
  std::ostringstream text;
  text.precision(digits);
  text << seconds;
  return text.str();
}

// Warns on standard error when the particles a source injects cross more than
// one cell per step at their drift speed: the push then samples the field too
// coarsely along their path.
void warnOnCoarseInjection(const std::string& species, int32_t face, double drift, const Grid& grid, double dt) {
  const int axis = face == 1 ? 2 : face == 2 ? 0 : face == 3 ? 1 : -1;  // the plane's normal
  if (axis < 0) return;  // this face injects nothing
  const double cells = std::fabs(drift) * dt / grid.dh[axis];
  if (!(cells > 1.0)) return;
  std::cerr << "warning: injected " << species << " cross " << cells << " cells per step along " << "xyz"[axis]
            << " (drift " << drift << " m/s, dt " << dt << " s, spacing " << grid.dh[axis]
            << " m): the push samples the field too coarsely; use a smaller dt" << std::endl;
}

// Creates "O+" and "e-" (in this order: every per-species loop follows it) and
// loads them into their boxes, electrons first.
std::vector<Species> createSpecies(World& world, const RunSettings& s) {
  const RunParameters& p = s.positional;
  std::vector<Species> species;
  species.reserve(2);  // sources keep pointers into this list: it must never grow
  species.emplace_back("O+", p.ion_mass_amu * AMU, QE, s.macro_weight, world);
  species.emplace_back("e-", ME, -QE, s.macro_weight, world);
  std::cout << "Size of species: " << species.size() << std::endl;

  if (p.density_e > s.loading_threshold)
    loadParticlesBox(species[1], p.electron_box_1, p.electron_box_2, p.density_e, s.load_velocity_e, s.temperature_e);
  else
    std::cout << "Skipping electrons: density_e=" << p.density_e << "\n";
  if (p.density_i > s.loading_threshold)
    loadParticlesBox(species[0], p.ion_box_1, p.ion_box_2, p.density_i, s.load_velocity_i, s.temperature_i);
  else
    std::cout << "Skipping ions:    density_i=" << p.density_i << "\n";
  return species;
}

// Warns on standard error where the electrostatic model's step or mesh cannot
// resolve the plasma: a pushed species' plasma frequency times dt above 0.2
// (the leapfrog push misses the plasma oscillation; omega_pe for electron
// particles, omega_pi for the ions), omega_ce * dt above 0.5 in the largest B
// on the mesh (the gyration), cells larger than three Debye lengths
// (numerical heating). Boltzmann electrons are not pushed: only their Debye
// length counts.
void warnOnResolution(const World& world, const std::vector<Species>& species, const RunSettings& s) {
  const RunParameters& p = s.positional;
  const double loaded[2] = {p.density_i, p.density_e};  // species 0 "O+", 1 "e-"
  const double injected[2] = {injectsIons(p.inject_mode) ? std::fabs(p.ion_inject_density) : 0.0,
                              injectsElectrons(p.inject_mode) ? std::fabs(p.electron_inject_density) : 0.0};
  double ne = 0.0;  // m^-3, the largest electron density the run starts with
  for (std::size_t q = 0; q < 2 && q < species.size(); ++q) {
    const double n = std::max(loaded[q] > s.loading_threshold ? loaded[q] : 0.0, injected[q]);
    if (q == 1) ne = n;
    const double omega = std::sqrt(n * species[q].charge * species[q].charge / (EPS_0 * species[q].mass));  // rad/s
    if (omega * world.dt > 0.2)
      std::cerr << "warning: omega_p" << (q == 1 ? "e" : "i") << "*dt = " << omega * world.dt << " for " << species[q].name
                << " at " << n << " m^-3: above 0.2 the push misrepresents the plasma oscillation; use dt below "
                << 0.2 / omega << " s" << std::endl;
  }
  if (s.potential.method >= 1) ne = std::max(ne, s.potential.ne0);
  double b_max = 0.0;  // T
  for (const Vec3& b : world.B.data) b_max = std::max(b_max, std::sqrt(dot(b, b)));
  b_max = maxOverProcesses(world.part, b_max);
  const double omega_ce = QE * b_max / ME;
  if (s.magnetic_force && omega_ce * world.dt > 0.5)
    std::cerr << "warning: omega_ce*dt = " << omega_ce * world.dt << " in the largest B on the mesh (" << b_max
              << " T): above 0.5 the push cannot follow the electrons' gyration; use dt below " << 0.5 / omega_ce
              << " s" << std::endl;
  const double kTe = s.temperature_e > 0.0 ? s.temperature_e : s.potential.method >= 1 ? s.potential.kTe : 0.0;
  if (kTe > 0.0 && ne > 0.0) {
    const double debye = std::sqrt(EPS_0 * kTe / (ne * QE));  // m; kTe in eV: kTe * QE joules over QE^2
    const double cell = std::max({world.grid.dh.x, world.grid.dh.y, world.grid.dh.z});
    if (cell > 3.0 * debye)
      std::cerr << "warning: the cells (" << cell << " m) exceed three Debye lengths (" << debye
                << " m): the mesh heats the plasma numerically" << std::endl;
  }
}

// The diagnostics of the step just finished; currents: per object, A.
HistoryRow historyRow(const World& world, const std::vector<Species>& species, const PotentialSolver* solver,
                      bool solved, const std::vector<double>& currents) {
  HistoryRow row;
  row.currents = currents;
  row.step = world.ts;
  row.time = world.time;
  const Decomposition& part = world.part;
  for (const SpeciesTotal& total : speciesTotals(species))
    row.species.emplace_back(static_cast<std::size_t>(total.particles), total.kinetic_energy);
  row.field_energy = electricFieldEnergy(world);
  // The owned planes' range, then the range over the processes.
  const std::size_t plane = static_cast<std::size_t>(world.grid.nj) * static_cast<std::size_t>(world.grid.nk);
  const auto first = world.phi.data.begin() + static_cast<std::ptrdiff_t>(plane * world.grid.ownedBegin());
  const auto last = world.phi.data.begin() + static_cast<std::ptrdiff_t>(plane * world.grid.ownedEnd());
  const auto [lo, hi] = std::minmax_element(first, last);
  row.phi_min = lo == last ? 0.0 : *lo;
  row.phi_max = hi == last ? 0.0 : *hi;
  if (part.distributed()) {
    row.phi_min = minOverProcesses(part, lo == last ? INFINITY : *lo);
    row.phi_max = maxOverProcesses(part, hi == last ? -INFINITY : *hi);
    sumOverProcesses(part, row.currents);
  }
  row.solved = solved && solver;
  if (row.solved) {
    row.solve_iterations = solver->last_iterations;
    row.solve_residual = solver->last_residual;
  }
  return row;
}

// A failure the tests provoke on one process of a distributed run, to check
// that it ends every process: PLASMABOX_TEST_FAILURE=RANK:STEP makes process
// RANK throw at step STEP. Unset in every real run.
struct TestFailure {
  int rank = -1;
  int32_t step = -1;
};

TestFailure testFailure() {
  TestFailure f;
  const char* text = std::getenv("PLASMABOX_TEST_FAILURE");
  if (text == nullptr || std::sscanf(text, "%d:%d", &f.rank, &f.step) != 2) return {};
  return f;
}

}  // namespace

int runSimulation(const std::vector<std::string>& args, std::istream& input) {
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::cout << usageText();
    return 0;
  }
  if (!args.empty() && args[0] == "--version") {
    std::cout << "plasmabox " << PLASMABOX_VERSION << "\n";
    return 0;
  }
  const ProcessPlace place = joinProcesses();
  std::optional<RunSettings> settings;
  std::vector<std::string> options;
  std::exception_ptr failure;
  try {
    const std::optional<RunParameters> parsed = parseRunParameters(args);
    if (!parsed) return 1;  // the same on every process: each stops here
    validateRunParameters(*parsed);
    settings = makeRunSettings(*parsed);
    const int first = positionalArgumentCount(*parsed);
    options.assign(args.begin() + first, args.end());
    applyRunOptions(*settings, options, first + 1);
    finishRunSettings(*settings);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);

  if (settings->seed) seedRandom(*settings->seed);
  if (!options.empty()) std::cout << effectiveOptionsLine(*settings, randomSeed()) << std::endl;
  return runWithSettings(*settings, args, input);
}

namespace {

// This process's part of the mesh's fields, or an error naming the node
// counts when they do not fit in memory (the run cannot start).
std::unique_ptr<World> makeWorld(const Decomposition& part, int32_t ni, int32_t nj, int32_t nk) {
  try {
    return part.distributed() ? std::make_unique<World>(part, nj, nk) : std::make_unique<World>(ni, nj, nk);
  } catch (const std::bad_alloc&) {
    throw std::runtime_error("the mesh of " + std::to_string(ni) + " x " + std::to_string(nj) + " x " +
                             std::to_string(nk) + " nodes (arguments 1 to 3) needs more memory than there is");
  }
}

}  // namespace

int runWithSettings(const RunSettings& s, const std::vector<std::string>& args, std::istream& input) {
  const RunParameters& p = s.positional;
  const bool electrostatic = s.field_model == FieldModel::ELECTROSTATIC;
  const int64_t run_start = steadyNanoseconds();
  const ProcessPlace place = joinProcesses();

  // The set-up each process does on its own, up to the first message between
  // them: a failure on any process stops them all here.
  std::unique_ptr<World> world_here;
  std::vector<AmfObject> objects;
  std::map<std::string, Vec3> magnetisation;
  ClearCells clear_cells;
  std::vector<Species> species;
  std::exception_ptr failure;
  try {
    const Decomposition part =
        place.size > 1 ? splitIntoSlabs(p.ni, place.rank, place.size) : wholeMesh(p.ni);
    checkSharable(s.potential, part);  // before anything is read
    world_here = makeWorld(part, p.ni, p.nj, p.nk);
    World& w = *world_here;
    w.grid.setExtents(p.x0, p.xm);
    w.dt = s.dt;
    w.num_ts = s.max_step;

    amfread(objects, p.amf_path, input);

    std::vector<double> remanence = p.remanence;
    overrideRemanence(remanence, s.remanence_override);
    magnetisation = buildMagnetisationTable(args, remanence);
    amfread_voltage(w, objects, s.voltages, s.threads);
    // Where no object can contain a particle: the push skips the query there.
    // Every process classifies the whole box's cells: its particles may reach any.
    clear_cells = part.distributed() ? findClearCells(Grid::lattice(p.ni, p.nj, p.nk, p.x0, p.xm), objects, s.threads)
                                     : findClearCells(w.grid, objects, s.threads);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);
  World& world = *world_here;
  useProcessStream(world.part);  // each process its own stream, derived from the run's seed
  species = createSpecies(world, s);

  const bool ions_injected = injectsIons(p.inject_mode);
  const bool electrons_injected = injectsElectrons(p.inject_mode);
  std::vector<Source> ion_sources, electron_sources;
  if (ions_injected) {
    ion_sources.push_back({&species[0], &world, p.ion_drift_speed, p.ion_inject_density, s.temperature_i});
    warnOnCoarseInjection(species[0].name, p.ion_inject_face, p.ion_drift_speed, world.grid, world.dt);
  }
  if (electrons_injected) {
    electron_sources.push_back({&species[1], &world, p.electron_drift_speed, p.electron_inject_density, s.temperature_e});
    warnOnCoarseInjection(species[1].name, p.electron_inject_face, p.electron_drift_speed, world.grid, world.dt);
  }

  // Field initialisation. The electrostatic model deposits the loaded
  // particles first, so that the first push already sees their charge.
  if (electrostatic) {
    for (Species& sp : species) computeGasProperties(sp, s.threads);
    computeChargeDensity(world, species);
  }
  auto potential = std::make_unique<PotentialSolver>(world, s.potential);
  potential->buildMatrix();
  potential->solve();
  if (!electrostatic) potential.reset();  // never solves again: its memory goes before the magnetostatic solve's
  amfread_magvector(world, objects, magnetisation, s.threads);
  MagnetostaticSolver(world, s.magnetostatic).solveMagnetostatics();
  if (electrostatic) {
    electrostaticField(world);
    warnOnResolution(world, species, s);
    potential->settings.quiet = true;  // per-step solves print only their failure lines
  } else {
    updateFields(world);
  }

  HistoryFile history;
  if (!s.history_path.empty() && world.part.rank == 0) {
    std::vector<std::string> species_names, object_names;
    for (const Species& sp : species) species_names.push_back(sp.name);
    for (const AmfObject& o : objects) object_names.push_back(o.name);
    history = openHistoryFile(s.history_path, species_names, object_names);
  }

  RunOutput output{s.output, p.csv_prefix, p.output_interval, {}};
  std::vector<double> absorbed(objects.size()), currents(objects.size());
  int digits = 6;  // significant digits of the console's timing lines
  const TestFailure test_failure = testFailure();
  int64_t bytes_migrated = 0;  // particle records this process sent to others
  while (true) {
    world.time += world.dt;
    const int32_t previous = world.ts;
    world.ts = previous + 1;
    if (previous >= world.num_ts) break;

    if (world.ts == test_failure.step && world.part.rank == test_failure.rank)
      throw std::runtime_error("test failure on process " + std::to_string(test_failure.rank) + " at step " +
                               std::to_string(test_failure.step));
    const int64_t t0 = steadyNanoseconds();
    if (ions_injected)
      for (Source& src : ion_sources) injectFromPlane(src, p.ion_inject_face, p.ion_inject_1, p.ion_inject_2);
    if (electrons_injected)
      for (Source& src : electron_sources)
        injectFromPlane(src, p.electron_inject_face, p.electron_inject_1, p.electron_inject_2);
    const bool sort_now = s.sort_interval > 0 && world.ts % s.sort_interval == 0;
    std::fill(currents.begin(), currents.end(), 0.0);
    for (Species& sp : species) {
      if (sort_now) sortParticlesByCell(sp, s.threads);
      advance(sp, objects, clear_cells, s.threads, s.magnetic_force, &absorbed);
      bytes_migrated += migrateParticles(sp, s.threads).bytes_sent;  // before anything gathers or deposits with them
      // A: the charge of the real particles each object absorbed, per second of the step.
      for (std::size_t o = 0; o < currents.size(); ++o) currents[o] += sp.charge * absorbed[o] / world.dt;
      computeGasProperties(sp, s.threads);
    }
    const int64_t t1 = steadyNanoseconds();
    std::cout << "mv_part time: " << secondsText(static_cast<double>(t1 - t0) / 1e9, digits) << " seconds"
              << std::endl;

    computeChargeDensity(world, species);
    bool solved = false;
    if (electrostatic) {
      if (world.ts % s.solve_every == 0) {
        potential->solve();
        solved = true;
      }
      electrostaticField(world);
    } else {
      computeCurrentDensity(world, species);  // only the induction step reads the total current
      updateFields(world);
    }
    printStepLine(world, species);
    digits = 3;
    if (!s.history_path.empty()) {
      // Every process forms the row (its totals need them all); the first writes it.
      const HistoryRow row = historyRow(world, species, potential.get(), solved, currents);
      if (history.out.is_open()) writeHistoryRow(history, row);
    }

    writeStepOutput(output, world, species);
  }

  if (world.part.distributed()) {
    // The traffic between the processes, for scaling estimates: ghost planes
    // (fields, solver sweeps, deposition) and particle records, per step.
    const double steps = std::max(world.num_ts + 1, 1);
    const double planes = sumOverProcesses(world.part, static_cast<double>(ghostBytesSent())) / steps;
    const double moved = sumOverProcesses(world.part, static_cast<double>(bytes_migrated)) / steps;
    std::cout << "Exchanged between processes: " << planes << " bytes of ghost planes and " << moved
              << " bytes of particles per step (all processes, set-up solves included)" << std::endl;
  }
  const double seconds = static_cast<double>(steadyNanoseconds() - run_start) / 1e9;
  std::cout << "Simulation took " << secondsText(seconds, digits) << " seconds" << std::endl;
  return 0;
}

}  // namespace plasmabox
