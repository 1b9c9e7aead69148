#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/RunParameters.h"
#include "output/OutputSettings.h"
#include "surfaces/SecondaryYield.h"
#include "surfaces/buildConductors.h"
#include "solver/SolverSettings.h"

namespace plasmabox {

// How the fields advance.
enum class FieldModel {
  // The potential is solved once, before the first step; each step advances
  // E and B by one explicit induction step on top of that potential.
  INDUCTION,
  // The potential is solved with each step's charge (every solve_every
  // steps); E is its tapered minus gradient; B stays the magnetostatic field.
  ELECTROSTATIC,
};

// V, the objects held at a fixed potential when no option says otherwise. A
// file need not have them.
inline std::map<std::string, double> defaultVoltages() {
  return {{"Body", 0.0}, {"electrode1", 270.0}, {"electrode2", 0.0}};
}

// Every value a run uses: the positional parameters and the run constants,
// each defined here once. The driver builds it once; the kernels receive the
// numbers they need from it as arguments.
struct RunSettings {
  RunParameters positional;

  int requested_threads = 60;  // team size asked for every parallel region
  int threads = 1;             // team size every parallel region runs (see chooseTeamSize)
  double dt = 1e-11;           // s, time step
  int32_t max_step = 100;      // last step number: the loop runs steps 0 to max_step
  double macro_weight = 50;    // real particles per macro-particle, both species
  double loading_threshold = 10.0;  // m^-3: a loading density up to this loads nothing
  // V, potential of the nodes inside each named object
  std::map<std::string, double> voltages = defaultVoltages();
  double remanence_override = 1.2;  // T, replaces the first two remanence values of the command line
  std::optional<uint32_t> seed;     // seed of the random source; none: the random device's
  FieldModel field_model = FieldModel::INDUCTION;
  int32_t solve_every = 1;                   // electrostatic: steps per potential solve
  std::optional<bool> potential_multigrid;   // as given; default: multigrid in the electrostatic model
  std::optional<bool> magnetic_force_given;  // as given; default: on in the electrostatic model
  bool magnetic_force = false;               // the push turns velocities in B (Boris)
  std::string history_path;                  // per-step diagnostics file; empty: none
  std::vector<std::string> inputs_files;     // the files options were read from (inputs=FILE), in order
  double temperature_e = 0.0;                // eV, of loaded and injected electrons; 0: cold
  double temperature_i = 0.0;                // eV, of loaded and injected ions
  Vec3 load_velocity_e;                      // m/s, drift of the loaded electrons
  Vec3 load_velocity_i;                      // m/s, drift of the loaded ions
  // The ambient plasma around the objects: both species at ambient_density,
  // filling the box at set-up and entering through all six walls every step.
  double ambient_density = 0.0;                 // m^-3 per species; 0: none
  Vec3 ambient_drift;                           // m/s, the plasma's velocity in the objects' frame
  std::optional<double> ambient_temperature_e;  // eV, as given (required with ambient_density)
  std::optional<double> ambient_temperature_i;  // eV, as given (required with ambient_density)
  Vec3 background_B;                            // T, uniform, added to the magnetostatic B
  std::optional<double> boltzmann_ne0;          // m^-3, as given; default ambient_density or 1e12
  std::optional<double> boltzmann_kTe;          // eV, as given; default ambient_temperature_e or 1.5
  // Objects whose potential is not a constant (electrostatic model): floating
  // conductors, objects biased against them, and potentials that ramp.
  std::vector<std::string> floating;                            // in the order given
  std::map<std::string, Bias> biases;                           // object name: its floating reference and volts
  std::map<std::string, std::pair<double, double>> voltage_ramps;  // V, object name: potential at the first and last step
  // Surface emission: photoelectrons from the sunlit triangles, secondary
  // electrons from electron impacts; both form the species "e-emitted".
  std::optional<Vec3> sun;                                  // towards the sun, any length; none: no sunlight
  double photo_current = 2e-5;                              // A/m^2 at normal incidence
  std::map<std::string, double> photo_currents;             // A/m^2, per object name, in place of photo_current
  double photo_temperature = 2.0;                           // eV
  std::map<std::string, SecondaryYield> secondary_yields;   // per object name
  double secondary_temperature = 2.0;                       // eV
  // Long runs: a checkpoint every checkpoint_every steps (0: none), the
  // newest checkpoint_keep of them kept (0: all), and the checkpoint a
  // restart continues from (empty: a new run).
  int32_t checkpoint_every = 0;
  int32_t checkpoint_keep = 2;
  std::string restart_path;
  PotentialSettings potential;
  MagnetostaticSettings magnetostatic;
  OutputSettings output;  // file formats, the series file and particle snapshots
};

// The settings of a run from its positional parameters: solver limits from the
// command line, everything else at its default. Call finishRunSettings once
// the options are applied.
RunSettings makeRunSettings(const RunParameters& positional);

// Derives what follows from the other settings: the team (chooseTeamSize of
// requested_threads) and the solvers' and the output's copies of it, the
// defaults that depend on the field model and on the ambient plasma. Throws
// std::invalid_argument for settings that contradict each other (Boltzmann
// electrons with electron particles, ambient options without a density or
// a temperature, Boltzmann constants that differ from the ambient plasma's)
// and for boltzmann_* values that make the potential's starting value (the
// Boltzmann inversion every method starts from) NaN or infinite.
void finishRunSettings(RunSettings& settings);

// Whether some object's potential is decided during the run: floating,
// biased or ramped.
inline bool hasConductors(const RunSettings& s) {
  return !s.floating.empty() || !s.biases.empty() || !s.voltage_ramps.empty();
}

// The voltage table the set-up marks the objects with: the options' table,
// the floating objects at their voltage.NAME (0 V when none is given), the
// biased ones that far above their reference's.
std::map<std::string, double> heldVoltages(const RunSettings& s);

// Whether the objects' surfaces emit electrons (sunlight or a secondary yield).
inline bool hasEmission(const RunSettings& s) { return s.sun.has_value() || !s.secondary_yields.empty(); }

// Whether the run has an ambient plasma (ambient_density above 0).
inline bool hasAmbient(const RunSettings& s) { return s.ambient_density > 0.0; }

// Whether the electrons are a Boltzmann fluid rather than particles
// (potential_method 1 to 3): the ambient plasma then brings ions alone.
inline bool boltzmannElectrons(const RunSettings& s) { return s.potential.method >= 1; }

// Number of arguments the positional part of a command line takes: 53 + 5N.
int positionalArgumentCount(const RunParameters& positional);

// Threads every parallel region runs: the requested count, lowered to the
// processors available to the process (shared evenly among the processes
// mpirun placed on this machine) and to OMP_NUM_THREADS when that is set (at
// least 1).
int chooseTeamSize(int requested);

}  // namespace plasmabox
