#pragma once

#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/RunSettings.h"
#include "environment/Ambient.h"
#include "geometry/AmfObject.h"
#include "geometry/ClearCells.h"
#include "mesh/World.h"
#include "output/historyFile.h"
#include "output/Checkpoint.h"
#include "output/historyRow.h"
#include "output/runOutput.h"
#include "particles/ObjectVeto.h"
#include "particles/Moments.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "solver/PotentialSolver.h"
#include "geometry/SceneTriangles.h"
#include "surfaces/Conductor.h"
#include "surfaces/Impact.h"
#include "surfaces/photoemission.h"
#include "surfaces/secondaryEmission.h"

namespace plasmabox {

// The species of every run, in the order of every per-species loop.
inline constexpr const char* SPECIES_NAMES[] = {"O+", "e-"};

// The species of the electrons the objects' surfaces emit (photo and
// secondary), after the others; only in runs with emission.
inline constexpr const char* EMITTED_NAME = "e-emitted";

// The names of the species of a run with these settings, in order.
std::vector<std::string> speciesNames(const RunSettings& settings);

// A failure the tests provoke on one process of a distributed run, to check
// that it ends every process: PLASMABOX_TEST_FAILURE=RANK:STEP makes process
// RANK throw at step STEP; RANK:STEP:nan makes it put a NaN into its
// potential at the start of that step instead (a diverged result no input
// reproduces on every machine). Unset in every real run (rank -1).
struct TestFailure {
  int rank = -1;
  int32_t step = -1;
  bool nan = false;
  // PLASMABOX_TEST_KILL_IN_CHECKPOINT=STEP: the process kills itself
  // (SIGKILL) in the middle of writing the checkpoint of step STEP.
  int32_t kill_in_checkpoint = -1;
  // PLASMABOX_TEST_SIGNAL=RANK:STEP:SIGNAL:COUNT: process RANK sends itself
  // SIGNAL COUNT times at the start of step STEP, as a scheduler would.
  int signal_rank = -1;
  int32_t signal_step = -1;
  int signal = 0;
  int signal_count = 0;
};

// Everything that lives for the whole run, owned here and borrowed by the
// phases: the mesh and its fields, the objects, the species and their
// sources, the solver that runs again every step, the output and history
// state, and the run's counters. Built by setUpRun and never moved: the
// species point to the world and the sources to the species.
struct Run {
  const RunSettings& settings;
  std::unique_ptr<World> world;
  std::vector<AmfObject> objects;
  std::map<std::string, Vec3> magnetisation;  // A/m per magnet, written onto the nodes by initialiseFields
  ClearCells clear_cells;                     // where no object can hold a particle (the push skips the query)
  std::vector<Species> species;               // "O+" then "e-": the order of every per-species loop
  std::vector<Source> sources;                // plane sources, ions first, each step in this order
  std::vector<Ambient> ambient;               // per species: its part of the ambient plasma (density 0: none)
  ObjectVeto veto;                            // the objects, where no new particle is created
  Vec3 motional_field;                        // V/m, -ambient_drift x background_B, added to E everywhere
  std::unique_ptr<PotentialSolver> potential;  // kept for the electrostatic model's per-step solves
  ConductorSystem conductors;                  // floating, biased and ramped objects; empty when none
  HistoryFile history;                         // open on the first process when a history file is asked for
  RunOutput output;
  std::vector<double> absorbed;  // per object, real particles one species' push absorbed
  std::vector<double> currents;  // A, per object: the charge absorbed in this step over dt
  std::vector<double> collected;  // C, per object: the charge absorbed in this step, on this process
  std::vector<ParticleFlow> flows;  // per species: what entered and left the box in this step
  // Surface emission (when the run has any): the triangles of every object
  // for ray queries, the sunlit triangles, the objects' secondary yields,
  // each species' impacts of the step, and per object the charge its
  // photoelectrons and secondaries carried away in the step (C, this process).
  SceneTriangles scene;
  Photoemission photo;
  SecondaryEmission secondary;
  std::vector<std::vector<Impact>> impacts;
  std::vector<double> emitted_photo, emitted_secondary;
  std::vector<FingerprintEntry> fingerprint;  // what a restart must find unchanged (runFingerprint)
  std::vector<std::string> command_line;      // the arguments, kept in each checkpoint for its reader

  int32_t first_step = 0;        // the first step this process runs: 0, or the one after a restart's checkpoint
  int32_t checkpoint_step = -1;  // the step of the last checkpoint written, -1 for none
  std::string checkpoint_path;   // and its file

  int64_t start_ns = 0;        // monotonic clock when the run started
  int digits = 6;              // significant digits of the console's timing lines
  int64_t bytes_migrated = 0;  // particle records this process sent to others
  TestFailure test_failure;

  explicit Run(const RunSettings& s) : settings(s) {}
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
};

// The set-up: the mesh (this process's slab of it), the objects read from
// the AMF file (input answers its key press) and marked with their voltages,
// the clear cells, both species loaded into their boxes and filled with the
// ambient plasma (never inside an object), the plane sources and the history
// file. A restart (settings.restart_path) creates the species empty and
// leaves the history file to restoreCheckpoint: its particles come from the
// checkpoint. args are the command line the settings came from
// (the magnet tuples are read from it after the geometry). An input error on
// any process stops every process (RunStopped) once it has been printed.
std::unique_ptr<Run> setUpRun(const RunSettings& settings, const std::vector<std::string>& args,
                              std::istream& input);

// The fields before the first step: the potential of the objects (with the
// loaded particles' charge in the electrostatic model), the magnetisation and
// the magnetostatic field plus background_B, then E (and, in the induction
// model, one field update) plus the motional field. The electrostatic model
// keeps its potential solver for the steps. A restart solves only what its
// checkpoint does not hold (the magnetostatic field): the potential and E
// (and the induction model's B) come from the checkpoint.
void initialiseFields(Run& run);

// One time step, world.ts already advanced (startNextStep): injection through
// the plane sources, push, injection of the ambient plasma through the walls,
// hand-over between processes, collection, deposition, the field update of
// the chosen model, the step line, the history row, the step's files and
// the checkpoint when one is due.
void runStep(Run& run);

// What this step's deposition forms: the induction model's field update
// reads the currents (density, previous density and mean velocity) every
// step; the electrostatic model's solve reads only the charge, so the mean
// velocity is formed only at the steps whose output writes it. (The previous
// step's density, which the current of an output step also reads, is formed
// at every step.)
Moments stepMoments(const Run& run);

// The closing report: the traffic between processes of a distributed run
// and the run's wall-clock time.
void finishRun(Run& run);

}  // namespace plasmabox
