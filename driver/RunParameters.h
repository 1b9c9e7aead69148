#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

// Number of fixed positional arguments before the remanence values.
inline constexpr int FIXED_ARGUMENTS = 53;
// Below this many arguments the program exits with status 1 and prints nothing.
inline constexpr int MINIMUM_ARGUMENTS = 35;

// Everything the command line sets, in position order. Lengths in metres,
// speeds in m/s, densities in particles per cubic metre.
struct RunParameters {
  int32_t ni, nj, nk;      // 1-3: node counts
  Vec3 x0, xm;             // 4-9: mesh corners, given as x0.x xm.x x0.y xm.y x0.z xm.z
  std::string amf_path;    // 10
  Vec3 electron_box_1, electron_box_2;  // 11-16
  Vec3 ion_box_1, ion_box_2;            // 17-22
  // 23 (real) and 24 (int) are converted and dropped.
  std::string csv_prefix;  // 25
  double ion_mass_amu;     // 26
  int32_t solver_max_it;   // 27
  double solver_tol;       // 28
  double density_e;        // 29
  double density_i;        // 30
  int32_t output_interval; // 31
  int32_t inject_mode;     // 32: 1 ions, 2 electrons, 3 both, anything else none
  int32_t ion_inject_face, electron_inject_face;          // 33, 34
  double ion_drift_speed, electron_drift_speed;          // 35, 36
  double ion_inject_density, electron_inject_density;    // 37, 38
  Vec3 ion_inject_1, ion_inject_2;                       // 39-44
  Vec3 electron_inject_1, electron_inject_2;             // 45-50
  int32_t mag_max_it;      // 51
  double mag_tol;          // 52
  int32_t num_objects;     // 53: N
  std::vector<double> remanence;  // 54 .. 53+N, tesla
};

// Converts positions 1 to 53 and the remanence list of args (the arguments
// after the program name). Returns nothing when there are fewer than 35
// arguments: the caller exits with status 1 without a word. Throws
// std::invalid_argument or std::out_of_range naming the position and its text
// for a bad number, and std::invalid_argument when arguments are missing.
std::optional<RunParameters> parseRunParameters(const std::vector<std::string>& args);

// Rejects values the run cannot work with (fewer than 3 nodes on an axis, an
// empty, inverted or non-finite extent, a spacing so small that 1/spacing^2
// overflows, output interval 0) with std::invalid_argument.
void validateRunParameters(const RunParameters& p);

// Sets remanence entries 0 and 1 (those that exist) to value (T).
void overrideRemanence(std::vector<double>& remanence, double value);

// Object name to magnetisation (A/m): remanence[k] * direction / MU_0 for each
// tuple k after the remanence list; a later tuple for the same name wins.
std::map<std::string, Vec3> buildMagnetisationTable(const std::vector<std::string>& args,
                                                    const std::vector<double>& remanence);

// Decoding of inject_mode: bit 1 cleared equal to 1, respectively bit 0 cleared equal to 2.
constexpr bool injectsIons(int32_t mode) { return (mode & ~2) == 1; }
constexpr bool injectsElectrons(int32_t mode) { return (mode & ~1) == 2; }

}  // namespace plasmabox
