#include "driver/RunSettings.h"

#include <omp.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "mesh/constants.h"

namespace plasmabox {

int chooseTeamSize(int requested) {
  // Processes that mpirun placed on this machine share its processors.
  int sharing = 1;
  if (const char* local = std::getenv("OMPI_COMM_WORLD_LOCAL_SIZE")) sharing = std::max(std::atoi(local), 1);
  int team = std::min(requested, std::max(omp_get_num_procs() / sharing, 1));
  // omp_get_max_threads() reports OMP_NUM_THREADS (its first value) when that is set.
  if (std::getenv("OMP_NUM_THREADS") != nullptr) team = std::min(team, omp_get_max_threads());
  return std::max(team, 1);
}

namespace {

// The photoelectron options act only in sunlight and the secondaries'
// temperature only with a yield: a value set without them would be ignored
// without a word (a forgotten sun= leaves the body dark), so it is refused.
// Only a value other than the default can be seen as given.
void finishEmissionSettings(const RunSettings& s) {
  const RunSettings defaults{};
  if (!s.sun && (!s.photo_currents.empty() || s.photo_current != defaults.photo_current ||
                 s.photo_temperature != defaults.photo_temperature))
    throw std::invalid_argument(
        "options photo_current / photo_current.NAME / photo_temperature need sun=DX,DY,DZ: without sunlight no "
        "surface emits photoelectrons");
  if (s.secondary_yields.empty() && s.secondary_temperature != defaults.secondary_temperature)
    throw std::invalid_argument(
        "option secondary_temperature needs some secondary_yield.NAME=DMAX:EMAX: without a yield no surface emits "
        "secondaries");
}

// The ambient options need their density and both temperatures; with
// Boltzmann electrons the fluid stands for the ambient electrons, so its
// density and temperature are the ambient plasma's.
void finishAmbientSettings(RunSettings& s) {
  const bool ambient = hasAmbient(s);
  const bool any_given = s.ambient_temperature_e || s.ambient_temperature_i || s.ambient_drift != Vec3{};
  if (!ambient && any_given)
    throw std::invalid_argument(
        "options ambient_drift / ambient_temperature_e / ambient_temperature_i need ambient_density above 0: "
        "without it there is no ambient plasma for them to describe");
  if (ambient && (!s.ambient_temperature_e || !s.ambient_temperature_i))
    throw std::invalid_argument(
        "option ambient_density needs ambient_temperature_e and ambient_temperature_i (eV): the ambient plasma "
        "has no default temperature");
  s.potential.ne0 = s.boltzmann_ne0.value_or(ambient ? s.ambient_density : PotentialSettings{}.ne0);
  s.potential.kTe = s.boltzmann_kTe.value_or(ambient ? *s.ambient_temperature_e : PotentialSettings{}.kTe);
  if (!ambient || !boltzmannElectrons(s)) return;
  if (s.potential.ne0 != s.ambient_density)
    throw std::invalid_argument("options boltzmann_ne0 and ambient_density: the Boltzmann electrons are the ambient "
                                "plasma's electrons and must have its density; leave boltzmann_ne0 out");
  if (s.potential.kTe != *s.ambient_temperature_e)
    throw std::invalid_argument("options boltzmann_kTe and ambient_temperature_e: the Boltzmann electrons are the "
                                "ambient plasma's electrons and must have its temperature; leave boltzmann_kTe out");
}

// Floating, biased and ramped objects change the potential between solves:
// only the electrostatic model solves again, and Boltzmann inversion solves
// no Poisson equation whose conductors could hold a charge.
void checkConductorSettings(const RunSettings& s) {
  if (!hasConductors(s)) return;
  const std::string what = !s.floating.empty() ? "floating" : !s.biases.empty() ? "bias.NAME" : "voltage.NAME=V0:V1";
  if (s.field_model != FieldModel::ELECTROSTATIC)
    throw std::invalid_argument("option " + what + " needs field_model=electrostatic: the induction model solves the "
                                "potential once, before the first step, and never again");
  if (s.potential.method == 2 && (!s.floating.empty() || !s.biases.empty()))
    throw std::invalid_argument("option " + what + " with potential_method=2: the Boltzmann inversion solves no "
                                "Poisson equation, so no conductor can hold a charge; use potential_method 0, 1 or 3");
  for (std::size_t a = 0; a < s.floating.size(); ++a)
    for (std::size_t b = a + 1; b < s.floating.size(); ++b)
      if (s.floating[a] == s.floating[b])
        throw std::invalid_argument("option floating: object \"" + s.floating[a] + "\" is named twice");
  const auto floats = [&s](const std::string& name) {
    return std::find(s.floating.begin(), s.floating.end(), name) != s.floating.end();
  };
  for (const auto& [name, bias] : s.biases) {
    if (floats(name))
      throw std::invalid_argument("options floating and bias." + name + ": a biased object follows its reference and "
                                  "cannot float itself");
    if (!floats(bias.reference))
      throw std::invalid_argument("option bias." + name + "=" + bias.reference + ":...: \"" + bias.reference +
                                  "\" is not a floating object (add it to floating=)");
  }
  for (const auto& [name, ramp] : s.voltage_ramps)
    if (floats(name) || s.biases.count(name))
      throw std::invalid_argument("option voltage." + name + "=V0:V1: \"" + name +
                                  "\" floats or is biased, so no ramp can hold it");
}

}  // namespace

std::map<std::string, double> heldVoltages(const RunSettings& s) {
  std::map<std::string, double> table = s.voltages;
  for (const std::string& name : s.floating) table.try_emplace(name, 0.0);
  for (const auto& [name, bias] : s.biases) table[name] = table[bias.reference] + bias.volts;
  return table;
}

RunSettings makeRunSettings(const RunParameters& positional) {
  RunSettings s;
  s.positional = positional;
  s.potential.max_it = positional.solver_max_it;
  s.potential.tol = positional.solver_tol;
  s.magnetostatic.max_it = positional.mag_max_it;
  s.magnetostatic.tol = positional.mag_tol;
  finishRunSettings(s);
  return s;
}

void finishRunSettings(RunSettings& s) {
  s.threads = chooseTeamSize(s.requested_threads);
  s.potential.threads = s.threads;
  s.magnetostatic.threads = s.threads;
  s.output.threads = s.threads;
  const bool electrostatic = s.field_model == FieldModel::ELECTROSTATIC;
  // A relaxation solve costs seconds per step: the electrostatic model takes multigrid unless told otherwise.
  s.potential.multigrid = s.potential_multigrid.value_or(electrostatic);
  s.magnetic_force = s.magnetic_force_given.value_or(electrostatic);
  s.potential.zero_mean_when_singular = electrostatic;
  finishAmbientSettings(s);
  finishEmissionSettings(s);
  checkConductorSettings(s);
  if (hasEmission(s) && s.potential.method == 2)
    throw std::invalid_argument("option " + std::string(s.sun ? "sun" : "secondary_yield.NAME") +
                                " with potential_method=2: the Boltzmann inversion takes every electron for the "
                                "fluid, so emitted electrons would count twice; use potential_method 0, 1 or 3");
  // Every method, the plain relaxation included, starts from the Boltzmann
  // inversion phi0 + kTe ln(max(rho / (e ne0), 1e-6)): in an empty box
  // phi0 + kTe ln(1e-6), and 0/0 where e ne0 underflows to zero.
  const PotentialSettings& b = s.potential;
  if (!std::isfinite(b.phi0 + b.kTe * std::log(1e-6)) || !(b.ne0 * QE > 0.0)) {
    std::ostringstream values;
    values << "options boltzmann_phi0=" << b.phi0 << ", boltzmann_kTe=" << b.kTe << ", boltzmann_ne0=" << b.ne0
           << ": every potential solve starts from the Boltzmann inversion boltzmann_phi0 + boltzmann_kTe "
              "ln(max(rho / (e boltzmann_ne0), 1e-6)), which these values make NaN or infinite";
    throw std::invalid_argument(values.str());
  }
  if (electrostatic && s.potential.method >= 1) {
    const RunParameters& p = s.positional;
    if (p.density_e > s.loading_threshold || injectsElectrons(p.inject_mode))
      throw std::invalid_argument(
          "potential_method=" + std::to_string(s.potential.method) +
          " treats the electrons as a Boltzmann fluid in the electrostatic model: electron particles would count "
          "twice; load no electrons (argument 29 at most " + std::to_string(static_cast<int>(s.loading_threshold)) +
          ") and inject none (argument 32: 0 or 1)");
  }
}

int positionalArgumentCount(const RunParameters& positional) { return FIXED_ARGUMENTS + 5 * positional.num_objects; }

}  // namespace plasmabox
