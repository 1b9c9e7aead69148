#include "driver/RunParameters.h"

#include <cmath>
#include <stdexcept>

#include "mesh/constants.h"
#include "mesh/conversions.h"

namespace plasmabox {

namespace {

// Reads the arguments in position order, adding the position and the text to
// any conversion error so the user sees which argument was wrong.
struct ArgumentReader {
  const std::vector<std::string>& args;
  int position = 0;  // 1-based position of the last argument read

  template <class Convert>
  auto read(Convert convert) {
    ++position;
    const std::string& text = args[position - 1];
    try {
      return convert(text);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(context(e.what(), text));
    } catch (const std::out_of_range& e) {
      throw std::out_of_range(context(e.what(), text));
    }
  }
  std::string context(const char* message, const std::string& text) const {
    return std::string(message) + " (argument " + std::to_string(position) + ": \"" + text + "\")";
  }

  int32_t integer() { return read(convertInt); }
  double real() { return read(convertDouble); }
  std::string text() {
    ++position;
    return args[position - 1];
  }
  Vec3 point() {
    Vec3 p;
    p.x = real();
    p.y = real();
    p.z = real();
    return p;
  }
};

std::invalid_argument countError(std::size_t expected, std::size_t given, const std::string& what) {
  return std::invalid_argument("expected " + std::to_string(expected) + " arguments (" + what +
                               "), got " + std::to_string(given));
}

}  // namespace

std::optional<RunParameters> parseRunParameters(const std::vector<std::string>& args) {
  if (args.size() < static_cast<std::size_t>(MINIMUM_ARGUMENTS)) return std::nullopt;
  if (args.size() < static_cast<std::size_t>(FIXED_ARGUMENTS))
    throw countError(FIXED_ARGUMENTS, args.size(), "53 run parameters, then N remanence values and N object tuples");

  RunParameters p;
  ArgumentReader in{args};
  p.ni = in.integer();
  p.nj = in.integer();
  p.nk = in.integer();
  p.x0.x = in.real();
  p.xm.x = in.real();
  p.x0.y = in.real();
  p.xm.y = in.real();
  p.x0.z = in.real();
  p.xm.z = in.real();
  p.amf_path = in.text();
  p.electron_box_1 = in.point();
  p.electron_box_2 = in.point();
  p.ion_box_1 = in.point();
  p.ion_box_2 = in.point();
  (void)in.real();     // 23: kept for compatibility of command lines, not used
  (void)in.integer();  // 24: likewise
  p.csv_prefix = in.text();
  p.ion_mass_amu = in.real();
  p.solver_max_it = in.integer();
  p.solver_tol = in.real();
  p.density_e = in.real();
  p.density_i = in.real();
  p.output_interval = in.integer();
  p.inject_mode = in.integer();
  p.ion_inject_face = in.integer();
  p.electron_inject_face = in.integer();
  p.ion_drift_speed = in.real();
  p.electron_drift_speed = in.real();
  p.ion_inject_density = in.real();
  p.electron_inject_density = in.real();
  p.ion_inject_1 = in.point();
  p.ion_inject_2 = in.point();
  p.electron_inject_1 = in.point();
  p.electron_inject_2 = in.point();
  p.mag_max_it = in.integer();
  p.mag_tol = in.real();
  p.num_objects = in.integer();

  const long long needed = FIXED_ARGUMENTS + 5LL * p.num_objects;
  if (p.num_objects < 0)
    throw std::invalid_argument("number of magnetised objects (argument 53) must not be negative, got " +
                                std::to_string(p.num_objects));
  if (static_cast<long long>(args.size()) < needed)
    throw countError(static_cast<std::size_t>(needed), args.size(),
                     "53 run parameters, then N remanence values and N object tuples of name x y z, N = " +
                         std::to_string(p.num_objects));

  p.remanence.reserve(static_cast<std::size_t>(p.num_objects));
  for (int32_t k = 0; k < p.num_objects; ++k) p.remanence.push_back(in.real());
  return p;
}

void validateRunParameters(const RunParameters& p) {
  const int32_t counts[3] = {p.ni, p.nj, p.nk};
  const char axis[3] = {'x', 'y', 'z'};
  for (int d = 0; d < 3; ++d) {
    if (counts[d] < 3)
      throw std::invalid_argument(std::string("node count along ") + axis[d] + " (argument " +
                                  std::to_string(d + 1) + ") must be at least 3, got " +
                                  std::to_string(counts[d]));
    // Written so that a NaN extent fails too; an infinite one would make every
    // field NaN.
    if (!(p.xm[d] > p.x0[d]) || !std::isfinite(p.x0[d]) || !std::isfinite(p.xm[d]) ||
        !std::isfinite(p.xm[d] - p.x0[d]))
      throw std::invalid_argument(std::string("mesh extent along ") + axis[d] + " (arguments " +
                                  std::to_string(4 + 2 * d) + " and " + std::to_string(5 + 2 * d) +
                                  ") must be finite, with the far corner above the origin");
    // The solvers divide by the squared spacing: below about 1e-154 m it
    // overflows and every field would turn NaN.
    const double h = (p.xm[d] - p.x0[d]) / (counts[d] - 1);
    if (!std::isfinite(1.0 / (h * h)))
      throw std::invalid_argument(std::string("mesh spacing along ") + axis[d] + " (arguments " +
                                  std::to_string(4 + 2 * d) + " and " + std::to_string(5 + 2 * d) +
                                  ") is too small: 1/spacing^2 overflows");
  }
  if (p.output_interval == 0)
    throw std::invalid_argument("output interval (argument 31) must not be 0");
}

void overrideRemanence(std::vector<double>& remanence, double value) {
  for (std::size_t k = 0; k < remanence.size() && k < 2; ++k) remanence[k] = value;
}

std::map<std::string, Vec3> buildMagnetisationTable(const std::vector<std::string>& args,
                                                    const std::vector<double>& remanence) {
  std::map<std::string, Vec3> table;
  const int n = static_cast<int>(remanence.size());
  ArgumentReader in{args, FIXED_ARGUMENTS + n};
  for (int k = 0; k < n; ++k) {
    const std::string name = in.text();
    const Vec3 direction = in.point();
    const double r = remanence[static_cast<std::size_t>(k)];
    table[name] = Vec3{r * direction.x / MU_0, r * direction.y / MU_0, r * direction.z / MU_0};
  }
  return table;
}

}  // namespace plasmabox
