#pragma once

#include <string>
#include <utility>
#include <vector>

#include "driver/RunSettings.h"

namespace plasmabox {

// Run options: name=value arguments after the positional ones, or
// "name = value" lines of the file that inputs=FILE names. Each option, its
// unit, default, meaning and validation are listed once, in runOptions.cpp;
// --help, the effective-value line and the error messages come from that list.

// Applies the options to settings: first those of the inputs files, in the
// order given, then every other option of the command line, so that the
// command line overrides the files (and a later option an earlier one).
// Throws std::invalid_argument naming the option (or the file and line) and
// the reason for an unknown name, a value that does not convert completely or
// lies out of range, an argument that is not of the form name=value, or an
// inputs file that cannot be read, and for options that contradict each
// other once all are applied (vtk_compress=on or vtk_parallel=on with vtk_format=ascii).
// first_position is the 1-based position of options[0] on the command line,
// for the messages.
void applyRunOptions(RunSettings& settings, const std::vector<std::string>& options, int first_position);

// One line listing every option with its effective value, in the order of the
// option table ("Run options: dt=1e-11 ..."), so that a saved console records
// the run: the seed shown is the one the random source started from.
std::string effectiveOptionsLine(const RunSettings& settings, unsigned seed);

// The options that change the physics of a run (dt, macro_weight, the
// voltages, the field model, the walls, the temperatures, the ambient plasma,
// background_B, the floating and biased objects, the potential method and
// the Boltzmann electrons), each as its name ("voltage" for all
// voltage.NAME, "bias" for all bias.NAME) and its effective value(s) as
// the options line shows them ("dt=1e-11"), in the option table's order.
std::vector<std::pair<std::string, std::string>> physicsOptions(const RunSettings& settings);

// The usage text of --help: the positional layout in short, then every option
// with its unit, default and meaning.
std::string usageText();

}  // namespace plasmabox
