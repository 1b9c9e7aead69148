#include "driver/stopOnNonFinite.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "driver/processConsole.h"
#include "mesh/constants.h"
#include "mesh/nonFiniteNodes.h"
#include "mesh/processReduction.h"

namespace plasmabox {

namespace {

std::string number(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// What a checked field is, in the order of cause and effect: the densities
// make the charge, the charge the potential, the potential the Boltzmann
// electrons and the field.
enum class Checked { DENSITY, POTENTIAL, FLUID, FIELD };

struct CheckedField {
  std::string name;
  Checked kind;
  const Field* scalar = nullptr;       // DENSITY, POTENTIAL, FLUID (the potential it follows)
  const VectorField* vector = nullptr;  // FIELD
};

// The likely cause of a non-finite field of this kind.
std::string likelyCause(const Run& run, const SolveReport& solve, Checked kind) {
  const RunSettings& s = run.settings;
  const World& w = *run.world;
  const Grid& g = w.grid;
  switch (kind) {
    case Checked::DENSITY:
      return "the deposition overflows: macro_weight=" + number(s.macro_weight) +
             " real particles per macro-particle in cells of " + number(g.dh.x * g.dh.y * g.dh.z) + " m^3";
    case Checked::POTENTIAL: {
      std::string cause = solve.solved ? "the potential solve diverged (potential_method=" +
                                             std::to_string(s.potential.method) + ", potential_solver=" +
                                             (s.potential.multigrid ? "multigrid" : "sor") + ", last residual " +
                                             number(solve.residual) + ")"
                                       : "the last potential solve diverged";
      if (w.ts < 0)  // every method starts from the Boltzmann inversion
        cause += "; it started from the Boltzmann inversion, boltzmann_phi0 + boltzmann_kTe ln(1e-6) = " +
                 number(s.potential.phi0 + s.potential.kTe * std::log(1e-6)) + " V in an empty box";
      return cause;
    }
    case Checked::FLUID: {
      const ElectronFluid& f = *w.electron_fluid;
      return "boltzmann_ne0 exp((phi - boltzmann_phi0) / boltzmann_kTe) overflows where the potential exceeds " +
             number(f.phi0 + f.kTe * std::log(DBL_MAX / f.ne0)) + " V: an object held that high above " +
             "boltzmann_phi0 needs a larger boltzmann_kTe or boltzmann_phi0";
    }
    case Checked::FIELD:
      break;
  }
  if (s.field_model == FieldModel::ELECTROSTATIC) return "the gradient of the potential overflows";
  const double cells = std::sqrt(C2) * w.dt / std::min({g.dh.x, g.dh.y, g.dh.z});
  return "the induction step with dt=" + number(w.dt) + " s overflows: its terms grow with dt, and light crosses " +
         number(cells) + " cells per step; use a smaller dt";
}

}  // namespace

void stopOnNonFiniteFields(const Run& run, const SolveReport& solve) {
  const World& world = *run.world;
  std::vector<CheckedField> fields;
  for (const Species& sp : run.species) fields.push_back({"the " + sp.name + " density", Checked::DENSITY, &sp.den});
  fields.push_back({"the potential phi", Checked::POTENTIAL, &world.phi});
  if (world.electron_fluid) fields.push_back({"the Boltzmann electrons' density", Checked::FLUID, &world.phi});
  fields.push_back({"the electric field ef", Checked::FIELD, nullptr, &world.ef});
  std::vector<double> bad(fields.size());  // nodes; a count below 2^53 is exact as a double
  const int team = run.settings.threads;
  for (std::size_t f = 0; f < fields.size(); ++f) {
    const CheckedField& c = fields[f];
    if (c.kind == Checked::FIELD)
      bad[f] = static_cast<double>(countNonFiniteNodes(*c.vector, world.grid, team));
    else if (c.kind == Checked::FLUID)
      bad[f] = static_cast<double>(countNonFiniteNodes(*c.scalar, *world.electron_fluid, world.grid, team));
    else
      bad[f] = static_cast<double>(countNonFiniteNodes(*c.scalar, world.grid, team));
  }
  sumOverProcesses(world.part, bad);  // every process reaches the same verdict
  const auto first = std::find_if(bad.begin(), bad.end(), [](double n) { return n > 0.0; });
  if (first == bad.end()) return;

  std::string message = (world.ts < 0 ? std::string("the set-up") : "step " + std::to_string(world.ts)) +
                        ": NaN or infinite values in";
  const std::string nodes = number(world.grid.wholeNodeCount());
  const char* separator = " ";
  for (std::size_t f = 0; f < fields.size(); ++f) {
    if (!(bad[f] > 0.0)) continue;
    message.append(separator).append(fields[f].name).append(" at ").append(number(bad[f])).append(" of ");
    message.append(nodes).append(" nodes");
    separator = ", ";
  }
  message += "; likely cause: " + likelyCause(run, solve, fields[static_cast<std::size_t>(first - bad.begin())].kind) +
             (world.ts < 0 ? ". The run stops before its first step"
                           : ". The run stops; the files of the steps before are complete");
  if (world.part.rank == 0) printFailure(message);
  throw RunStopped();
}

}  // namespace plasmabox
