#include "driver/runOptions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace plasmabox {

namespace {

// The reason a value is refused; the caller adds which option it was.
struct BadValue {
  std::string reason;
};

// A whole-text integer from lo to hi: no blanks, no trailing characters. A
// value beyond the range, even beyond 64 bits, is told which end it passes.
int64_t integerBetween(const std::string& text, int64_t lo, int64_t hi) {
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc::invalid_argument || end != text.data() + text.size() || text.empty())
    throw BadValue{"\"" + text + "\" is not an integer"};
  const bool below = ec == std::errc::result_out_of_range ? text[0] == '-' : v < lo;
  const bool above = ec == std::errc::result_out_of_range ? text[0] != '-' : v > hi;
  // A bound at the type's limit is no real bound: name only the one passed.
  constexpr int64_t TOP = std::numeric_limits<int32_t>::max();
  const bool open_above = hi == TOP || hi == TOP - 1;
  if (below)
    throw BadValue{"must be " + (open_above ? "at least " + std::to_string(lo)
                                            : "from " + std::to_string(lo) + " to " + std::to_string(hi)) +
                   ", got " + text};
  if (above)
    throw BadValue{"must be " + (open_above ? "at most " + std::to_string(hi)
                                            : "from " + std::to_string(lo) + " to " + std::to_string(hi)) +
                   ", got " + text};
  return v;
}

int32_t integerIn(const std::string& text, int32_t lo, int32_t hi) {
  return static_cast<int32_t>(integerBetween(text, lo, hi));
}

// A whole-text finite real number (decimal or exponent form).
double realValue(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (text.empty() || end != begin + text.size() || std::isspace(static_cast<unsigned char>(text[0])))
    throw BadValue{"\"" + text + "\" is not a number"};
  if (!std::isfinite(v)) throw BadValue{"\"" + text + "\" is not a finite number"};
  return v;
}

// One of the given words.
bool choice(const std::string& text, const char* first, const char* second) {
  if (text == first) return false;
  if (text == second) return true;
  throw BadValue{"must be " + std::string(first) + " or " + second + ", got \"" + text + "\""};
}

double nonNegativeReal(const std::string& text) {
  const double v = realValue(text);
  if (!(v >= 0.0)) throw BadValue{"must not be negative, got " + text};
  return v;
}

// Three comma-separated finite numbers, "VX,VY,VZ".
Vec3 vectorValue(const std::string& text) {
  Vec3 v;
  std::size_t at = 0;
  for (int d = 0; d < 3; ++d) {
    const std::size_t comma = d < 2 ? text.find(',', at) : text.size();
    if (comma == std::string::npos) throw BadValue{"\"" + text + "\" is not three numbers VX,VY,VZ"};
    try {
      v[d] = realValue(text.substr(at, comma - at));
    } catch (const BadValue&) {
      throw BadValue{"\"" + text + "\" is not three finite numbers VX,VY,VZ"};
    }
    at = comma + 1;
  }
  return v;
}

double positiveReal(const std::string& text) {
  const double v = realValue(text);
  if (!(v > 0.0)) throw BadValue{"must be greater than 0, got " + text};
  return v;
}

// True for the word yes, false for the word no (as "on" and "off").
bool eitherWord(const std::string& text, const char* no, const char* yes) {
  if (text == yes) return true;
  if (text == no) return false;
  throw BadValue{std::string("must be ") + no + " or " + yes + ", got \"" + text + "\""};
}

// Shortest text that reads back to the same double.
std::string realText(double v) {
  char buf[32];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// text as one word of a shell command line: unchanged when it holds only
// characters no shell treats specially, else in double quotes (with ", \, $
// and ` escaped), so that a value with blanks reads back as one option.
std::string shellWord(const std::string& text) {
  const auto plain = [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("+-.,/:=@%_").find(c) != std::string_view::npos;
  };
  if (!text.empty() && std::all_of(text.begin(), text.end(), plain)) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\' || c == '$' || c == '`') quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

std::string vectorText(const Vec3& v) { return realText(v.x) + "," + realText(v.y) + "," + realText(v.z); }

constexpr int32_t INT_MAX32 = std::numeric_limits<int32_t>::max();

// One option: name (a name ending in '.' takes a suffix, as voltage.NAME), unit,
// default, meaning; apply converts, checks and stores a value; show gives the
// effective value(s) as name=value text.
struct RunOption {
  const char* name;
  const char* unit;
  const char* default_text;
  const char* meaning;
  void (*apply)(RunSettings&, const std::string& suffix, const std::string& value);
  std::string (*show)(const RunSettings&);
};

const RunOption OPTIONS[] = {
    {"max_step", "", "100", "last step number: the loop runs steps 0 to max_step",
     [](RunSettings& s, const std::string&, const std::string& v) { s.max_step = integerIn(v, 0, INT_MAX32 - 1); },
     [](const RunSettings& s) { return "max_step=" + std::to_string(s.max_step); }},
    {"dt", "s", "1e-11", "time step",
     [](RunSettings& s, const std::string&, const std::string& v) { s.dt = positiveReal(v); },
     [](const RunSettings& s) { return "dt=" + realText(s.dt); }},
    {"macro_weight", "", "50", "real particles per macro-particle, both species",
     [](RunSettings& s, const std::string&, const std::string& v) { s.macro_weight = positiveReal(v); },
     [](const RunSettings& s) { return "macro_weight=" + realText(s.macro_weight); }},
    {"voltage.", "V", "electrode1 270, electrode2 0, Body 0",
     "potential of the nodes inside the object NAME (voltage.NAME=V sets or adds an entry; V0:V1 ramps it linearly "
     "from V0 at the first step to V1 at the last, electrostatic model; of a floating object: its start)",
     [](RunSettings& s, const std::string& name, const std::string& v) {
       if (name.empty()) throw BadValue{"needs an object name: voltage.NAME=V or voltage.NAME=V0:V1"};
       const std::size_t colon = v.find(':');
       if (colon == std::string::npos) {
         s.voltages[name] = realValue(v);
         s.voltage_ramps.erase(name);
         return;
       }
       const double v0 = realValue(v.substr(0, colon)), v1 = realValue(v.substr(colon + 1));
       s.voltages[name] = v0;
       s.voltage_ramps[name] = {v0, v1};
     },
     [](const RunSettings& s) {
       std::string text;
       for (const auto& [name, volts] : s.voltages) {
         if (!text.empty()) text += ' ';
         text.append("voltage.").append(shellWord(name)).append("=").append(realText(volts));
         const auto ramp = s.voltage_ramps.find(name);
         if (ramp != s.voltage_ramps.end()) text.append(":").append(realText(ramp->second.second));
       }
       return text;
     }},
    {"seed", "", "from the random device", "seed of the random source (0 to 4294967295): the same seed and team give the same files",
     [](RunSettings& s, const std::string&, const std::string& v) {
       s.seed = static_cast<uint32_t>(integerBetween(v, 0, std::numeric_limits<uint32_t>::max()));
     },
     nullptr},
    {"threads", "", "60", "threads asked for every parallel region (fewer when the processors or OMP_NUM_THREADS are fewer)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.requested_threads = integerIn(v, 1, INT_MAX32); },
     [](const RunSettings& s) { return "threads=" + std::to_string(s.threads); }},
    {"potential_method", "", "0",
     "potential solver: 0 SOR, 1 Newton with Boltzmann electrons, 2 Boltzmann inversion, 3 SOR with Boltzmann electrons",
     [](RunSettings& s, const std::string&, const std::string& v) { s.potential.method = integerIn(v, 0, 3); },
     [](const RunSettings& s) { return "potential_method=" + std::to_string(s.potential.method); }},
    {"field_model", "", "induction",
     "induction: the potential solved once, E and B advanced by an induction step; electrostatic: the potential "
     "solved with each step's charge, E its gradient, B the magnetostatic field, the push with the magnetic force",
     [](RunSettings& s, const std::string&, const std::string& v) {
       s.field_model = choice(v, "induction", "electrostatic") ? FieldModel::ELECTROSTATIC : FieldModel::INDUCTION;
     },
     [](const RunSettings& s) {
       return std::string("field_model=") + (s.field_model == FieldModel::ELECTROSTATIC ? "electrostatic" : "induction");
     }},
    {"solve_every", "", "1", "electrostatic model: steps per potential solve",
     [](RunSettings& s, const std::string&, const std::string& v) { s.solve_every = integerIn(v, 1, INT_MAX32); },
     [](const RunSettings& s) { return "solve_every=" + std::to_string(s.solve_every); }},
    {"walls", "", "zero_gradient", "potential at the six walls: zero_gradient (zero normal gradient) or grounded (0 V)",
     [](RunSettings& s, const std::string&, const std::string& v) {
       s.potential.grounded_walls = choice(v, "zero_gradient", "grounded");
     },
     [](const RunSettings& s) { return std::string("walls=") + (s.potential.grounded_walls ? "grounded" : "zero_gradient"); }},
    {"magnetic_force", "", "off (on in the electrostatic model)",
     "on: the push turns the velocities in B (Boris scheme); off: the electric force alone",
     [](RunSettings& s, const std::string&, const std::string& v) { s.magnetic_force_given = choice(v, "off", "on"); },
     [](const RunSettings& s) { return std::string("magnetic_force=") + (s.magnetic_force ? "on" : "off"); }},
    {"history", "", "none", "file of per-step diagnostics (CSV): counts, energies, potential range, solve, object currents",
     [](RunSettings& s, const std::string&, const std::string& v) {
       if (v.empty()) throw BadValue{"needs a file name"};
       s.history_path = v;
     },
     [](const RunSettings& s) {
       return "history=" + (s.history_path.empty() ? std::string("none") : shellWord(s.history_path));
     }},
    {"temperature_e", "eV", "0", "temperature of loaded and injected electrons (Maxwellian; 0: cold)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.temperature_e = nonNegativeReal(v); },
     [](const RunSettings& s) { return "temperature_e=" + realText(s.temperature_e); }},
    {"temperature_i", "eV", "0", "temperature of loaded and injected ions (Maxwellian; 0: cold)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.temperature_i = nonNegativeReal(v); },
     [](const RunSettings& s) { return "temperature_i=" + realText(s.temperature_i); }},
    {"load_velocity_e", "m/s", "0,0,0", "drift velocity VX,VY,VZ of the loaded electrons",
     [](RunSettings& s, const std::string&, const std::string& v) { s.load_velocity_e = vectorValue(v); },
     [](const RunSettings& s) { return "load_velocity_e=" + vectorText(s.load_velocity_e); }},
    {"load_velocity_i", "m/s", "0,0,0", "drift velocity VX,VY,VZ of the loaded ions",
     [](RunSettings& s, const std::string&, const std::string& v) { s.load_velocity_i = vectorValue(v); },
     [](const RunSettings& s) { return "load_velocity_i=" + vectorText(s.load_velocity_i); }},
    {"ambient_density", "m^-3", "0",
     "density of the ambient plasma (both species): it fills the box at set-up and enters through all six walls "
     "every step; 0: none",
     [](RunSettings& s, const std::string&, const std::string& v) { s.ambient_density = nonNegativeReal(v); },
     [](const RunSettings& s) { return "ambient_density=" + realText(s.ambient_density); }},
    {"ambient_drift", "m/s", "0,0,0", "velocity VX,VY,VZ of the ambient plasma in the frame of the objects",
     [](RunSettings& s, const std::string&, const std::string& v) { s.ambient_drift = vectorValue(v); },
     [](const RunSettings& s) { return "ambient_drift=" + vectorText(s.ambient_drift); }},
    {"ambient_temperature_e", "eV", "none (required with ambient_density)", "temperature of the ambient electrons",
     [](RunSettings& s, const std::string&, const std::string& v) { s.ambient_temperature_e = nonNegativeReal(v); },
     [](const RunSettings& s) {
       return "ambient_temperature_e=" + (s.ambient_temperature_e ? realText(*s.ambient_temperature_e) : "none");
     }},
    {"ambient_temperature_i", "eV", "none (required with ambient_density)", "temperature of the ambient ions",
     [](RunSettings& s, const std::string&, const std::string& v) { s.ambient_temperature_i = nonNegativeReal(v); },
     [](const RunSettings& s) {
       return "ambient_temperature_i=" + (s.ambient_temperature_i ? realText(*s.ambient_temperature_i) : "none");
     }},
    {"sun", "", "none", "direction DX,DY,DZ towards the sun (any length): the sunlit surfaces emit photoelectrons",
     [](RunSettings& s, const std::string&, const std::string& v) {
       const Vec3 d = vectorValue(v);
       if (!(dot(d, d) > 0.0)) throw BadValue{"must point somewhere: \"" + v + "\" has no length"};
       s.sun = d;
     },
     [](const RunSettings& s) { return "sun=" + (s.sun ? vectorText(*s.sun) : std::string("none")); }},
    {"photo_current.", "A/m^2", "2e-5",
     "photoelectron current of a surface facing the sun: photo_current=J for every object, photo_current.NAME=J for "
     "object NAME",
     [](RunSettings& s, const std::string& name, const std::string& v) {
       (name.empty() ? s.photo_current : s.photo_currents[name]) = nonNegativeReal(v);
     },
     [](const RunSettings& s) {
       std::string text = "photo_current=" + realText(s.photo_current);
       for (const auto& [name, j] : s.photo_currents) text.append(" photo_current.").append(name).append("=").append(realText(j));
       return text;
     }},
    {"photo_temperature", "eV", "2", "temperature of the photoelectrons",
     [](RunSettings& s, const std::string&, const std::string& v) { s.photo_temperature = positiveReal(v); },
     [](const RunSettings& s) { return "photo_temperature=" + realText(s.photo_temperature); }},
    {"secondary_yield.", "", "none",
     "secondary_yield.NAME=DMAX:EMAX: object NAME emits DMAX secondaries per electron striking it at EMAX eV (the "
     "universal yield curve)",
     [](RunSettings& s, const std::string& name, const std::string& v) {
       if (name.empty()) throw BadValue{"needs an object name: secondary_yield.NAME=DMAX:EMAX"};
       const std::size_t colon = v.find(':');
       if (colon == std::string::npos) throw BadValue{"\"" + v + "\" is not DMAX:EMAX"};
       s.secondary_yields[name] = SecondaryYield{nonNegativeReal(v.substr(0, colon)), positiveReal(v.substr(colon + 1))};
     },
     [](const RunSettings& s) {
       std::string text;
       for (const auto& [name, y] : s.secondary_yields) {
         if (!text.empty()) text += ' ';
         text.append("secondary_yield.").append(name).append("=").append(realText(y.dmax)).append(":").append(realText(y.emax));
       }
       return text.empty() ? std::string("secondary_yield=none") : text;
     }},
    {"secondary_temperature", "eV", "2", "temperature of the secondary electrons",
     [](RunSettings& s, const std::string&, const std::string& v) { s.secondary_temperature = positiveReal(v); },
     [](const RunSettings& s) { return "secondary_temperature=" + realText(s.secondary_temperature); }},
    {"background_B", "T", "0,0,0",
     "uniform magnetic field BX,BY,BZ added to the magnetostatic B everywhere (with ambient_drift across it, the "
     "motional electric field -ambient_drift x background_B is added to E)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.background_B = vectorValue(v); },
     [](const RunSettings& s) { return "background_B=" + vectorText(s.background_B); }},
    {"floating", "", "none",
     "objects NAME[,NAME...] that float: each carries the charge it collects, and its potential is the one at which "
     "it holds that charge (electrostatic model)",
     [](RunSettings& s, const std::string&, const std::string& v) {
       s.floating.clear();
       std::size_t at = 0;
       while (at <= v.size()) {
         const std::size_t comma = std::min(v.find(',', at), v.size());
         if (comma == at) throw BadValue{"\"" + v + "\" is not a list of object names NAME[,NAME...]"};
         s.floating.push_back(v.substr(at, comma - at));
         at = comma + 1;
       }
     },
     [](const RunSettings& s) {
       std::string text = "floating=";
       for (std::size_t n = 0; n < s.floating.size(); ++n)
         text.append(n > 0 ? "," : "").append(shellWord(s.floating[n]));
       return s.floating.empty() ? text + "none" : text;
     }},
    {"bias.", "V", "none",
     "bias.NAME=REF:V holds object NAME V volts above the floating object REF (one conductor with it)",
     [](RunSettings& s, const std::string& name, const std::string& v) {
       if (name.empty()) throw BadValue{"needs an object name: bias.NAME=REF:V"};
       const std::size_t colon = v.rfind(':');
       if (colon == std::string::npos || colon == 0) throw BadValue{"\"" + v + "\" is not REF:V"};
       s.biases[name] = Bias{v.substr(0, colon), realValue(v.substr(colon + 1))};
     },
     [](const RunSettings& s) {
       std::string text;
       for (const auto& [name, bias] : s.biases) {
         if (!text.empty()) text += ' ';
         text.append("bias.").append(shellWord(name)).append("=").append(shellWord(bias.reference)).append(":");
         text.append(realText(bias.volts));
       }
       return text.empty() ? std::string("bias=none") : text;
     }},
    {"potential_solver", "", "sor (multigrid in the electrostatic model)",
     "linear solver of the potential: sor (relaxation of potential_method) or multigrid (conjugate gradients with "
     "a multigrid cycle; Newton's iteration with multigrid steps for methods 1 and 3)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.potential_multigrid = choice(v, "sor", "multigrid"); },
     [](const RunSettings& s) { return std::string("potential_solver=") + (s.potential.multigrid ? "multigrid" : "sor"); }},
    {"magnetic_solver", "", "gs", "solver of the magnetostatic potential: gs (Gauss-Seidel) or multigrid",
     [](RunSettings& s, const std::string&, const std::string& v) { s.magnetostatic.multigrid = choice(v, "gs", "multigrid"); },
     [](const RunSettings& s) { return std::string("magnetic_solver=") + (s.magnetostatic.multigrid ? "multigrid" : "gs"); }},
    {"boltzmann_ne0", "m^-3", "1e12 (ambient_density with an ambient plasma)", "reference density of the Boltzmann electrons (methods 1 to 3)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.boltzmann_ne0 = positiveReal(v); },
     [](const RunSettings& s) { return "boltzmann_ne0=" + realText(s.potential.ne0); }},
    {"boltzmann_kTe", "eV", "1.5 (ambient_temperature_e with an ambient plasma)", "temperature of the Boltzmann electrons (methods 1 to 3)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.boltzmann_kTe = positiveReal(v); },
     [](const RunSettings& s) { return "boltzmann_kTe=" + realText(s.potential.kTe); }},
    {"boltzmann_phi0", "V", "0", "reference potential of the Boltzmann electrons (methods 1 to 3)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.potential.phi0 = realValue(v); },
     [](const RunSettings& s) { return "boltzmann_phi0=" + realText(s.potential.phi0); }},
    {"vtk_format", "", "ascii",
     "VTK files as ascii text (6 significant digits) or binary (VTK's raw appended layout, full doubles)",
     [](RunSettings& s, const std::string&, const std::string& v) {
       s.output.vtk_format = eitherWord(v, "ascii", "binary") ? VtkFormat::BINARY : VtkFormat::ASCII;
     },
     [](const RunSettings& s) {
       return std::string("vtk_format=") + (s.output.vtk_format == VtkFormat::BINARY ? "binary" : "ascii");
     }},
    {"vtk_compress", "", "off", "on: zlib-compress the binary VTK files (needs vtk_format=binary)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.output.vtk_compress = eitherWord(v, "off", "on"); },
     [](const RunSettings& s) { return std::string("vtk_compress=") + (s.output.vtk_compress ? "on" : "off"); }},
    {"vtk_parallel", "", "off",
     "on: each process writes its piece of the VTK image (vti/STEP.PIECE.vti) and rank 0 an index vti/STEP.pvti "
     "(needs vtk_format=binary)",
     [](RunSettings& s, const std::string&, const std::string& v) { s.output.vtk_parallel = eitherWord(v, "off", "on"); },
     [](const RunSettings& s) { return std::string("vtk_parallel=") + (s.output.vtk_parallel ? "on" : "off"); }},
    {"series", "", "off", "on: keep series.pvd beside the vti folder, a ParaView time series of every VTK file written",
     [](RunSettings& s, const std::string&, const std::string& v) { s.output.series = eitherWord(v, "off", "on"); },
     [](const RunSettings& s) { return std::string("series=") + (s.output.series ? "on" : "off"); }},
    {"particles_every", "", "0",
     "write a particle file per species (vti/STEP.NAME.vtp) at the steps that are multiples of it; 0: never",
     [](RunSettings& s, const std::string&, const std::string& v) { s.output.particles_every = integerIn(v, 0, INT_MAX32); },
     [](const RunSettings& s) { return "particles_every=" + std::to_string(s.output.particles_every); }},
    {"particles_sample", "", "100000", "at most this many particles per species in a particle file, evenly spaced",
     [](RunSettings& s, const std::string&, const std::string& v) { s.output.particles_sample = integerIn(v, 1, INT_MAX32); },
     [](const RunSettings& s) { return "particles_sample=" + std::to_string(s.output.particles_sample); }},
    {"checkpoint_every", "", "0",
     "write a checkpoint (checkpoint/STEP.h5 beside the CSV files) at the steps that are multiples of it; 0: never",
     [](RunSettings& s, const std::string&, const std::string& v) { s.checkpoint_every = integerIn(v, 0, INT_MAX32); },
     [](const RunSettings& s) { return "checkpoint_every=" + std::to_string(s.checkpoint_every); }},
    {"checkpoint_keep", "", "2", "checkpoints kept: older ones are removed once a newer one is complete; 0: all",
     [](RunSettings& s, const std::string&, const std::string& v) { s.checkpoint_keep = integerIn(v, 0, INT_MAX32); },
     [](const RunSettings& s) { return "checkpoint_keep=" + std::to_string(s.checkpoint_keep); }},
    {"restart", "", "none",
     "continue the run of the same arguments from this checkpoint file (the physics options must not change)",
     [](RunSettings& s, const std::string&, const std::string& v) {
       if (v.empty()) throw BadValue{"needs a checkpoint file name"};
       s.restart_path = v;
     },
     [](const RunSettings& s) { return "restart=" + (s.restart_path.empty() ? std::string("none") : s.restart_path); }},
};

// The options that change the physics of a run, in table order: a restart
// must keep their values. The others change only what is written, how the
// fields are solved for, or how long the run goes on.
const char* const PHYSICS_OPTIONS[] = {
    "dt",      "macro_weight",  "voltage.",        "field_model",           "solve_every",
    "walls",   "magnetic_force", "temperature_e",  "temperature_i",         "ambient_density",
    "ambient_drift", "ambient_temperature_e", "ambient_temperature_i", "background_B", "floating",
    "bias.",   "potential_method", "boltzmann_ne0", "boltzmann_kTe", "boltzmann_phi0",
    "sun",     "photo_current.", "photo_temperature", "secondary_yield.", "secondary_temperature",
};

const RunOption* findOption(const std::string& name, std::string& suffix) {
  for (const RunOption& o : OPTIONS) {
    const std::string_view n = o.name;
    // A name ending in '.' takes a suffix (voltage.NAME); given without one it
    // names the option itself, which says whether it needs the suffix.
    if (n.back() == '.' ? name.rfind(n, 0) == 0 || name == n.substr(0, n.size() - 1) : name == n) {
      suffix = n.back() == '.' && name.size() > n.size() ? name.substr(n.size()) : "";
      return &o;
    }
  }
  return nullptr;
}

// One name=value pair and where it came from, for the messages.
struct OptionText {
  std::string name, value, place;
};

std::string trimmed(const std::string& s) {
  const std::size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

// The name = value lines of an inputs file; '#' starts a comment.
std::vector<OptionText> readInputsFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::invalid_argument("option \"inputs\": cannot read the file \"" + path + "\"");
  std::vector<OptionText> found;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    // Editors on some systems start a UTF-8 file with a byte-order mark: not part of the first name.
    if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
    const std::string place = "inputs file \"" + path + "\", line " + std::to_string(number);
    // A binary file would otherwise be quoted back with its control bytes
    // (a NUL ends the message early).
    for (std::size_t c = 0; c < line.size(); ++c) {
      const auto byte = static_cast<unsigned char>(line[c]);
      if ((byte < 0x20 && byte != '\t' && byte != '\r') || byte == 0x7f) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02x", byte);
        throw std::invalid_argument(place + ": control character " + hex + " at column " + std::to_string(c + 1) +
                                    ": not a text file of name = value lines");
      }
    }
    const std::string text = trimmed(line.substr(0, line.find('#')));
    if (text.empty()) continue;
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) throw std::invalid_argument(place + ": \"" + text + "\" is not of the form name = value");
    found.push_back({trimmed(text.substr(0, eq)), trimmed(text.substr(eq + 1)), place});
  }
  if (in.bad()) throw std::invalid_argument("option \"inputs\": cannot read the file \"" + path + "\"");
  return found;
}

void applyOne(RunSettings& settings, const OptionText& o) {
  std::string suffix;
  const RunOption* option = findOption(o.name, suffix);
  if (!option)
    throw std::invalid_argument(o.place + ": unknown option \"" + o.name + "\" (plasmabox --help lists the options)");
  try {
    option->apply(settings, suffix, o.value);
  } catch (const BadValue& bad) {
    throw std::invalid_argument(o.place + ": option \"" + o.name + "\": " + bad.reason);
  }
}

}  // namespace

void applyRunOptions(RunSettings& settings, const std::vector<std::string>& options, int first_position) {
  std::vector<OptionText> from_files, from_line;
  for (std::size_t n = 0; n < options.size(); ++n) {
    const std::string& arg = options[n];
    const std::string place = "argument " + std::to_string(first_position + static_cast<int>(n));
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0)
      throw std::invalid_argument(place + ": \"" + arg +
                                  "\" is not an option: options come as name=value after the positional arguments");
    OptionText o{arg.substr(0, eq), arg.substr(eq + 1), place};
    if (o.name == "inputs") {
      settings.inputs_files.push_back(o.value);
      for (OptionText& f : readInputsFile(o.value)) {
        if (f.name == "inputs") throw std::invalid_argument(f.place + ": an inputs file cannot name another one");
        from_files.push_back(std::move(f));
      }
    } else {
      from_line.push_back(std::move(o));
    }
  }
  for (const OptionText& o : from_files) applyOne(settings, o);
  for (const OptionText& o : from_line) applyOne(settings, o);
  if (settings.output.vtk_compress && settings.output.vtk_format == VtkFormat::ASCII)
    throw std::invalid_argument(
        "options \"vtk_compress=on\" and \"vtk_format=ascii\": only binary VTK files are compressed; add vtk_format=binary");
  if (settings.output.vtk_parallel && settings.output.vtk_format != VtkFormat::BINARY)
    throw std::invalid_argument(
        "options \"vtk_parallel=on\" and \"vtk_format=ascii\": the VTK pieces are binary files; add vtk_format=binary");
}

std::string effectiveOptionsLine(const RunSettings& settings, unsigned seed) {
  std::string line = "Run options:";
  for (const RunOption& o : OPTIONS) line.append(" ").append(o.show ? o.show(settings) : "seed=" + std::to_string(seed));
  return line;
}

std::vector<std::pair<std::string, std::string>> physicsOptions(const RunSettings& settings) {
  std::vector<std::pair<std::string, std::string>> found;
  for (const char* name : PHYSICS_OPTIONS)
    for (const RunOption& o : OPTIONS)
      if (std::string_view(o.name) == name) {
        std::string shown = name;
        if (shown.back() == '.') shown.pop_back();
        found.emplace_back(shown, o.show(settings));
      }
  return found;
}

std::string usageText() {
  std::ostringstream u;
  u << "Usage: plasmabox ARG1 ... ARG53 REMANENCE_1 ... REMANENCE_N NAME_1 X_1 Y_1 Z_1 ... NAME_N X_N Y_N Z_N"
       " [name=value ...]\n"
       "       plasmabox --help | --version\n\n"
       "Positional arguments (the README has the full table):\n"
       "  1-3 ni nj nk; 4-9 mesh extents x0.x xm.x x0.y xm.y x0.z xm.z (m); 10 AMF geometry file;\n"
       "  11-16 electron loading box, 17-22 ion loading box (two corners, m); 23, 24 unused (a real, an integer);\n"
       "  25 CSV prefix; 26 ion mass (amu); 27, 28 potential solver iteration limit and tolerance;\n"
       "  29, 30 electron and ion loading densities (m^-3); 31 output interval; 32 inject mode (1 ions, 2\n"
       "  electrons, 3 both); 33, 34 inject planes; 35, 36 drift speeds (m/s); 37, 38 inject densities (m^-3);\n"
       "  39-44 ion plane corners, 45-50 electron plane corners (m); 51, 52 magnetostatic iteration limit and\n"
       "  tolerance; 53 N, then N remanence values (T) and N tuples NAME X Y Z (magnetisation direction).\n\n"
       "Options (name=value after the positional arguments; inputs=FILE reads \"name = value\" lines from\n"
       "FILE, '#' starting a comment, and the command line overrides the file):\n";
  for (const RunOption& o : OPTIONS) {
    std::string name = o.name;
    if (name.back() == '.') name += "NAME";
    u << "  " << name << "=" << (*o.unit ? std::string("[") + o.unit + "]" : std::string("VALUE")) << "\n      "
      << o.meaning << " (default: " << o.default_text << ")\n";
  }
  u << "  inputs=FILE\n      read options from FILE\n";
  return u.str();
}

}  // namespace plasmabox
