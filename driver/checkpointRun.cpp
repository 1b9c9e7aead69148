#include "driver/checkpointRun.h"

#include <signal.h>

#include <exception>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "driver/conductorSteps.h"
#include "driver/historyColumns.h"
#include "driver/processConsole.h"
#include "driver/runFingerprint.h"
#include "mesh/processReduction.h"
#include "output/checkpointFiles.h"
#include "output/runOutput.h"
#include "particles/ParticleList.h"
#include "particles/migrateParticles.h"
#include "particles/random.h"

namespace plasmabox {

namespace {

void killThisProcess() { raise(SIGKILL); }

// The run's state lent to a checkpoint record for its writing: the large
// arrays are swapped in and swapped back when the loan ends, so that
// writing a checkpoint never holds a second copy of the particles or fields.
struct LentState {
  Run& run;
  Checkpoint record;

  explicit LentState(Run& r) : run(r) {
    World& world = *run.world;
    record.step = world.ts;
    record.time = world.time;
    record.processes = world.part.size;
    record.seed = randomSeed();
    record.fingerprint = run.fingerprint;
    record.command_line = run.command_line;
    record.random_state = randomState();
    record.series = run.output.series;
    const ConductorSystem& sys = run.conductors;
    for (const Conductor& c : sys.conductors) {
      record.conductor_names.push_back(c.name);
      record.conductor_charge.push_back(c.charge);
      record.conductor_potential.push_back(c.potential);
    }
    record.group_charge = sys.group_charge;
    record.group_potential = sys.group_potential;
    record.group_slope = sys.group_slope;
    if (run.potential) {
      record.potential_solves = run.potential->multigridSolves();
      const std::vector<double>& older = run.potential->olderSolution();
      if (!older.empty()) {
        record.phi_older = Field(world.phi.ni, world.phi.nj, world.phi.nk);
        record.phi_older.data.assign(older.begin(), older.end());
      }
    }
    // The particles are copied out in list order (the list keeps them in
    // blocks by tile), with the order that rebuilds the same list.
    for (const Species& sp : run.species) {
      SpeciesState& s = record.species.emplace_back();
      s.name = sp.name;
      s.particles = listOrder(sp.particles);
      const ParticleOrder order = particleOrder(sp.particles);
      s.bin_counts.push_back(static_cast<uint32_t>(order.tile_edge));
      s.bin_counts.insert(s.bin_counts.end(), order.counts.begin(), order.counts.end());
    }
    // Nothing below throws: the loan is whole once the constructor returns.
    std::swap(record.phi, world.phi);
    std::swap(record.ef, world.ef);
    if (run.settings.field_model == FieldModel::INDUCTION) std::swap(record.B, world.B);
    swapSpecies();
  }

  ~LentState() {
    World& world = *run.world;
    std::swap(record.phi, world.phi);
    std::swap(record.ef, world.ef);
    if (run.settings.field_model == FieldModel::INDUCTION) std::swap(record.B, world.B);
    swapSpecies();
  }

  void swapSpecies() {
    for (std::size_t q = 0; q < run.species.size(); ++q) {
      Species& sp = run.species[q];
      SpeciesState& s = record.species[q];
      std::swap(s.den, sp.den);
    }
  }
  LentState(const LentState&) = delete;
  LentState& operator=(const LentState&) = delete;
};

// Creates the folder of path (rank 0) and tells every process whether it is there.
bool folderReady(const Decomposition& part, const std::string& path, std::string& reason) {
  std::error_code ec;
  if (part.rank == 0) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (ec) reason = "its folder cannot be created (" + ec.message() + ")";
  }
  return !anyProcess(part, !reason.empty());
}

// "O+ 1200 (1.9226e-13 C), e- 1180 (-1.8905e-13 C)": macro-particles and
// their charge per species, over all processes.
std::string populationText(const std::vector<Species>& species, const Decomposition& part) {
  std::vector<double> charge;
  for (const Species& sp : species) {
    double weight = 0.0;
    sp.particles.forEach([&weight](const Particle& p) { weight += p.weight; });
    charge.push_back(sp.charge * weight + 0.0);  // + 0.0: no "-0" for an empty species
  }
  sumOverProcesses(part, charge);
  std::ostringstream text;
  text << std::setprecision(12);
  for (std::size_t q = 0; q < species.size(); ++q)
    text << (q ? ", " : "") << species[q].name << " "
         << sumOverProcesses(part, static_cast<int64_t>(species[q].particles.size())) << " (" << charge[q] << " C)";
  return text.str();
}

// The history file of a restart: its rows after the checkpoint's step dropped.
void continueHistory(Run& run, int32_t step) {
  if (run.settings.history_path.empty() || run.world->part.rank != 0) return;
  std::vector<std::string> species_names, object_names;
  for (const Species& sp : run.species) species_names.push_back(sp.name);
  for (const AmfObject& o : run.objects) object_names.push_back(o.name);
  run.history = continueHistoryFile(run.settings.history_path, species_names, object_names,
                                    historyExtraColumns(run), step);
}

// The checkpoint's conductors must be the run's, in its order.
void checkConductors(const Checkpoint& c, const ConductorSystem& sys, const std::string& path) {
  std::vector<std::string> names;
  for (const Conductor& k : sys.conductors) names.push_back(k.name);
  if (c.conductor_names != names || c.group_charge.size() != static_cast<std::size_t>(sys.groups))
    throw std::runtime_error("checkpoint \"" + path + "\": its floating, biased and ramped objects are not this run's");
}

void restoreConductors(Checkpoint& c, ConductorSystem& sys) {
  for (std::size_t k = 0; k < sys.conductors.size(); ++k) {
    sys.conductors[k].charge = c.conductor_charge[k];
    sys.conductors[k].potential = c.conductor_potential[k];
  }
  sys.group_charge = std::move(c.group_charge);
  sys.group_potential = std::move(c.group_potential);
  sys.group_slope = std::move(c.group_slope);
}

}  // namespace

bool writeRunCheckpoint(Run& run) {
  const World& world = *run.world;
  const Decomposition& part = world.part;
  const std::string path = checkpointFileName(run.output.csv_prefix, world.ts);
  const std::string unfinished = unfinishedName(path);
  std::string reason;
  if (folderReady(part, path, reason)) {
    try {
      const LentState lent(run);
      writeCheckpoint(unfinished, part, lent.record, run.test_failure.kill_in_checkpoint == world.ts ? killThisProcess : nullptr);
    } catch (const std::exception& e) {
      reason = e.what();
    }
    // Renamed only once every process's part is in the file.
    if (!anyProcess(part, !reason.empty()) && part.rank == 0) {
      try {
        commitFile(unfinished, path);
      } catch (const std::exception& e) {
        reason = e.what();
      }
    }
  }
  const bool written = !anyProcess(part, !reason.empty());
  if (!written) {
    if (part.rank == 0) {
      std::cerr << "Could not write checkpoint " << path << ": "
                << (reason.empty() ? "another process could not write its part" : reason) << std::endl;
      std::error_code ec;
      std::filesystem::remove(unfinished, ec);
    }
    return false;
  }
  if (part.rank == 0) pruneCheckpoints(path, run.settings.checkpoint_keep);
  run.checkpoint_step = world.ts;
  run.checkpoint_path = path;
  std::cout << "Checkpoint written: " << path << std::endl;
  return true;
}

void writeDueCheckpoint(Run& run) {
  const int32_t every = run.settings.checkpoint_every, ts = run.world->ts;
  if (every > 0 && ts > 0 && ts % every == 0) writeRunCheckpoint(run);
}

uint32_t checkRestart(const RunSettings& settings, const std::vector<std::string>& args) {
  Checkpoint summary;
  try {
    summary = readCheckpointSummary(settings.restart_path);
  } catch (const std::runtime_error& e) {
    throw std::runtime_error("option \"restart=" + settings.restart_path + "\": " + e.what());
  }
  checkSameFingerprint(summary.fingerprint, runFingerprint(settings, args), settings.restart_path);
  if (settings.seed && *settings.seed != summary.seed)
    throw std::invalid_argument("option \"seed=" + std::to_string(*settings.seed) + "\": the checkpoint \"" +
                                settings.restart_path + "\" continues the random streams of seed " +
                                std::to_string(summary.seed) + "; leave the seed out of a restart");
  return summary.seed;
}

void restoreCheckpoint(Run& run) {
  World& world = *run.world;
  const Decomposition& part = world.part;
  const std::string& path = run.settings.restart_path;
  Checkpoint c;
  std::exception_ptr failure;
  try {
    c = readCheckpoint(path, part, world.grid.nj, world.grid.nk);
    if (c.species.size() != run.species.size())
      throw std::runtime_error("checkpoint \"" + path + "\" holds " + std::to_string(c.species.size()) +
                               " species, this run has " + std::to_string(run.species.size()));
    for (std::size_t q = 0; q < c.species.size(); ++q)
      if (c.species[q].name != run.species[q].name)
        throw std::runtime_error("checkpoint \"" + path + "\": species " + std::to_string(q) + " is \"" +
                                 c.species[q].name + "\", in this run \"" + run.species[q].name + "\"");
    if (run.settings.field_model == FieldModel::INDUCTION && c.B.size() == 0)
      throw std::runtime_error("checkpoint \"" + path + "\" has no magnetic field \"fields/B\"");
    checkConductors(c, run.conductors, path);
    continueHistory(run, c.step);
  } catch (...) {
    failure = std::current_exception();
  }
  stopOnAnyFailure(part, failure);

  world.ts = c.step;
  world.time = c.time;
  world.phi = std::move(c.phi);
  world.ef = std::move(c.ef);
  if (c.B.size() > 0) world.B = std::move(c.B);
  for (std::size_t q = 0; q < run.species.size(); ++q) {
    Species& sp = run.species[q];
    const std::vector<uint32_t>& counts = c.species[q].bin_counts;
    if (c.processes == part.size && !counts.empty()) {
      const ParticleOrder order{static_cast<int32_t>(counts[0]), {counts.begin() + 1, counts.end()}};
      restoreParticles(sp.particles, c.species[q].particles, order, world.grid);
    } else {
      sp.particles.assign(c.species[q].particles);  // placed in their tiles (or sent to their process) below
    }
    sp.den = std::move(c.species[q].den);
  }
  if (c.processes == part.size) {
    setRandomState(c.random_state, c.seed);
  } else {
    // Another slab each: every particle goes where its position lies, and
    // each process draws from a new stream of its own.
    for (Species& sp : run.species) migrateParticles(sp, run.settings.threads);
    useContinuationStream(c.seed, part.rank, part.size, c.step);
  }
  restoreConductors(c, run.conductors);
  if (run.potential)
    run.potential->restoreStartMemory(c.phi_older.size() > 0 ? std::move(c.phi_older.data) : std::vector<double>{},
                                      c.potential_solves);
  run.output.series = std::move(c.series);
  // The series file lists no file of the steps after the checkpoint.
  if (run.settings.output.series && part.rank == 0)
    writeSeriesFile(seriesFileName(run.output.csv_prefix), run.output.series);
  run.first_step = c.step + 1;
  run.checkpoint_step = c.step;
  run.checkpoint_path = path;
  std::ostringstream time;
  time << std::setprecision(17) << c.time;
  const std::string population = populationText(run.species, part);
  std::cout << "Restarted from " << path << " at step " << c.step << " (time " << time.str() << " s): " << population
            << std::endl;
  if (c.step >= world.num_ts)
    std::cout << "Nothing to run: the checkpoint's step is not below max_step=" << world.num_ts << std::endl;
}

}  // namespace plasmabox
