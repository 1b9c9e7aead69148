#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "driver/Run.h"
#include "driver/conductorSteps.h"
#include "driver/emissionSteps.h"
#include "geometry/objectNamed.h"
#include "driver/historyColumns.h"
#include "driver/consoleClock.h"
#include "driver/processConsole.h"
#include "driver/runFingerprint.h"
#include "driver/runWarnings.h"
#include "environment/fillAmbient.h"
#include "geometry/amfread.h"
#include "geometry/findClearCells.h"
#include "geometry/objectPasses.h"
#include "mesh/constants.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
#include "particles/loading.h"
#include "particles/random.h"

namespace plasmabox {

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

// The floating, biased and ramped objects and their nodes.
void setUpConductors(Run& run) {
  const RunSettings& s = run.settings;
  std::map<std::string, VoltageRamp> ramps;
  // The first step runs at time dt, the last at (max_step + 1) dt.
  for (const auto& [name, volts] : s.voltage_ramps)
    ramps[name] = VoltageRamp{volts.first, volts.second, s.dt, (s.max_step + 1.0) * s.dt};
  run.conductors = buildConductors(run.world->grid, run.objects, s.floating, s.biases, ramps, s.threads);
}

// A floating conductor's charge fixes its potential only against something
// held: grounded walls or another object at a fixed potential. Every process
// must call it (the held nodes are counted over all).
void checkSomethingHolds(const Run& run) {
  const RunSettings& s = run.settings;
  if (run.conductors.groups == 0 || s.potential.grounded_walls) return;
  const World& w = *run.world;
  int64_t held = 0;  // nodes held by an object that does not float
  for (std::size_t q = 0; q < w.object_id.data.size(); ++q)
    held += w.object_id.data[q] >= 1 && run.conductors.group_of_node.data[q] < 0;
  if (sumOverProcesses(w.part, held) == 0)
    throw std::invalid_argument(
        "option floating: nothing holds the potential (zero-gradient walls and no object at a fixed voltage), so "
        "the total charge would have to be zero; add walls=grounded or hold an object with voltage.NAME");
}

// A voltage.NAME option for a name no object of the file carries would be
// ignored without a word (a case typo, Electrode1 for electrode1, leaves the
// electrode at its default): refused, with the file's names. The defaults'
// names are exempt: a file without them runs, whatever they are set to.
void refuseUnknownVoltageNames(const std::vector<AmfObject>& objects, const RunSettings& s) {
  const std::map<std::string, double> defaults = defaultVoltages();
  for (const auto& entry : s.voltages) {
    const std::string& name = entry.first;  // a plain reference: some compilers cannot capture a binding
    if (defaults.count(name)) continue;
    if (std::any_of(objects.begin(), objects.end(), [&](const AmfObject& o) { return o.name == name; })) continue;
    const std::string names = quotedObjectNames(objects);
    throw std::invalid_argument("option \"voltage." + name + "\": no object of the AMF file \"" +
                                s.positional.amf_path + "\" is named \"" + name + "\" (names are compared exactly); " +
                                (names.empty() ? "the file gave no objects" : "its objects: " + names));
  }
}

// The set-up each process does on its own, up to the first message between
// them: the mesh, the objects with their voltages, the magnetisation table
// and the clear cells.
void setUpMeshAndObjects(Run& run, const ProcessPlace& place, const std::vector<std::string>& args,
                         std::istream& input) {
  const RunSettings& s = run.settings;
  const RunParameters& p = s.positional;
  const Decomposition part = place.size > 1 ? splitIntoSlabs(p.ni, place.rank, place.size) : wholeMesh(p.ni);
  checkSharable(s.potential, part);  // before anything is read
  run.world = makeWorld(part, p.ni, p.nj, p.nk);
  World& w = *run.world;
  w.grid.setExtents(p.x0, p.xm);
  w.dt = s.dt;
  w.num_ts = s.max_step;

  amfread(run.objects, p.amf_path, input);
  refuseUnknownVoltageNames(run.objects, s);

  std::vector<double> remanence = p.remanence;
  overrideRemanence(remanence, s.remanence_override);
  run.magnetisation = buildMagnetisationTable(args, remanence);
  amfread_voltage(w, run.objects, heldVoltages(s), s.threads);
  setUpConductors(run);
  setUpEmission(run);
  // Where no object can contain a particle: the push skips the query there.
  // Every process classifies the whole box's cells: its particles may reach any.
  run.clear_cells = part.distributed()
                        ? findClearCells(Grid::lattice(p.ni, p.nj, p.nk, p.x0, p.xm), run.objects, s.threads)
                        : findClearCells(w.grid, run.objects, s.threads);
}

// Each species' part of the ambient plasma; with Boltzmann electrons the
// fluid stands for the ambient electrons, so only the ions are particles.
std::vector<Ambient> ambientPopulations(const RunSettings& s) {
  std::vector<Ambient> ambient(2);
  if (!hasAmbient(s)) return ambient;
  ambient[0] = {s.ambient_density, *s.ambient_temperature_i, s.ambient_drift};
  if (!boltzmannElectrons(s)) ambient[1] = {s.ambient_density, *s.ambient_temperature_e, s.ambient_drift};
  return ambient;
}

// Creates "O+" and "e-" (in this order: every per-species loop follows it),
// loads them into their boxes, electrons first, then fills the box with the
// ambient plasma, ions first. No particle is created inside an object.
void createSpecies(Run& run) {
  const RunSettings& s = run.settings;
  const RunParameters& p = s.positional;
  World& world = *run.world;
  std::vector<Species>& species = run.species;
  species.reserve(3);  // sources keep pointers into this list: it must never grow
  species.emplace_back(SPECIES_NAMES[0], p.ion_mass_amu * AMU, QE, s.macro_weight, world);
  species.emplace_back(SPECIES_NAMES[1], ME, -QE, s.macro_weight, world);
  if (hasEmission(s)) species.emplace_back(EMITTED_NAME, ME, -QE, s.macro_weight, world);
  std::cout << "Size of species: " << species.size() << std::endl;
  run.ambient = ambientPopulations(s);
  run.ambient.resize(species.size());  // the emitted electrons have no ambient part
  // A restart takes its particles from the checkpoint: loading them here
  // would draw random numbers and allocate particles only to throw them away.
  if (!s.restart_path.empty()) return;

  const ObjectVeto* veto = &run.veto;
  if (p.density_e > s.loading_threshold) {
    loadParticlesBox(species[1], p.electron_box_1, p.electron_box_2, p.density_e, s.load_velocity_e, s.temperature_e,
                     veto);
    warnOnFastParticles("loaded " + species[1].name, ME, s.temperature_e, s.load_velocity_e, world.grid, world.dt);
  } else {
    std::cout << "Skipping electrons: density_e=" << p.density_e << "\n";
  }
  if (p.density_i > s.loading_threshold) {
    loadParticlesBox(species[0], p.ion_box_1, p.ion_box_2, p.density_i, s.load_velocity_i, s.temperature_i, veto);
    warnOnFastParticles("loaded " + species[0].name, species[0].mass, s.temperature_i, s.load_velocity_i, world.grid,
                        world.dt);
  } else {
    std::cout << "Skipping ions:    density_i=" << p.density_i << "\n";
  }
  for (std::size_t q = 0; q < species.size(); ++q) {
    fillAmbient(species[q], run.ambient[q], run.veto);
    const Ambient& a = run.ambient[q];
    if (a.density > 0.0)
      warnOnFastParticles("ambient " + species[q].name, species[q].mass, a.temperature, a.drift, world.grid, world.dt);
  }
}

// The plane sources the injection mode selects, ions first.
void createSources(Run& run) {
  const RunSettings& s = run.settings;
  const RunParameters& p = s.positional;
  World& world = *run.world;
  if (injectsIons(p.inject_mode)) {
    run.sources.push_back({&run.species[0], &world, p.ion_drift_speed, p.ion_inject_density, s.temperature_i,
                           p.ion_inject_face, p.ion_inject_1, p.ion_inject_2});
  }
  if (injectsElectrons(p.inject_mode)) {
    run.sources.push_back({&run.species[1], &world, p.electron_drift_speed, p.electron_inject_density,
                           s.temperature_e, p.electron_inject_face, p.electron_inject_1, p.electron_inject_2});
  }
  for (const Source& source : run.sources) {
    if (source.face < 1 || source.face > 3) continue;  // injects nothing
    warnOnFastParticles("injected " + source.species->name, source.species->mass, source.temperature,
                        driftAlongNormal(source.face, source.drift_speed), world.grid, world.dt);
  }
}

// The history file, opened by the first process alone (it writes the rows);
// a restart continues its file once it knows the checkpoint's step.
void openHistory(Run& run) {
  if (run.settings.history_path.empty() || run.world->part.rank != 0 || !run.settings.restart_path.empty()) return;
  std::vector<std::string> species_names, object_names;
  for (const Species& sp : run.species) species_names.push_back(sp.name);
  for (const AmfObject& o : run.objects) object_names.push_back(o.name);
  run.history = openHistoryFile(run.settings.history_path, species_names, object_names, historyExtraColumns(run));
}

TestFailure testFailure() {
  TestFailure f;
  const char* text = std::getenv("PLASMABOX_TEST_FAILURE");
  char nan[4] = "";
  const int fields = text == nullptr ? 0 : std::sscanf(text, "%d:%d:%3s", &f.rank, &f.step, nan);
  if (fields < 2) f.rank = -1, f.step = -1;
  f.nan = fields == 3 && std::string(nan) == "nan";
  text = std::getenv("PLASMABOX_TEST_KILL_IN_CHECKPOINT");
  if (text == nullptr || std::sscanf(text, "%d", &f.kill_in_checkpoint) != 1) f.kill_in_checkpoint = -1;
  text = std::getenv("PLASMABOX_TEST_SIGNAL");
  if (text == nullptr ||
      std::sscanf(text, "%d:%d:%d:%d", &f.signal_rank, &f.signal_step, &f.signal, &f.signal_count) != 4)
    f.signal_rank = -1, f.signal_step = -1, f.signal = 0, f.signal_count = 0;
  return f;
}

}  // namespace

std::unique_ptr<Run> setUpRun(const RunSettings& settings, const std::vector<std::string>& args,
                              std::istream& input) {
  auto run = std::make_unique<Run>(settings);
  run->start_ns = steadyNanoseconds();
  const ProcessPlace place = joinProcesses();
  std::exception_ptr failure;
  try {
    setUpMeshAndObjects(*run, place, args, input);
  } catch (...) {
    failure = std::current_exception();
  }
  // A failure on any process stops them all here.
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);
  try {
    checkSomethingHolds(*run);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(Decomposition{place.rank, place.size, {}}, failure);
  useProcessStream(run->world->part);  // each process its own stream, derived from the run's seed
  run->veto = ObjectVeto{run->objects, &run->clear_cells};
  run->world->magnetic_force = settings.magnetic_force;
  if (boltzmannElectrons(settings))
    run->world->electron_fluid = ElectronFluid{settings.potential.ne0, settings.potential.phi0, settings.potential.kTe};
  run->motional_field = motionalField(settings.ambient_drift, settings.background_B);
  createSpecies(*run);
  createSources(*run);
  openHistory(*run);
  run->output = RunOutput{settings.output, settings.positional.csv_prefix, settings.positional.output_interval, {}};
  run->absorbed.assign(run->objects.size(), 0.0);
  run->currents.assign(run->objects.size(), 0.0);
  run->flows.assign(run->species.size(), ParticleFlow{});
  run->impacts.resize(run->species.size());
  run->collected.assign(run->objects.size(), 0.0);
  run->fingerprint = runFingerprint(settings, args);
  run->command_line = args;
  run->test_failure = testFailure();
  return run;
}

}  // namespace plasmabox
