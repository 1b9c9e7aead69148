#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "driver/RunSettings.h"

namespace plasmabox {

// Runs one simulation from the arguments after the program name and returns
// the process exit status: 0 after the time loop, 1 for a short command line.
// Input errors (bad numbers, missing arguments, unusable geometry) are thrown
// as standard exceptions whose message names the cause and the place.
// input answers the one key press the geometry reader waits for.
int runSimulation(const std::vector<std::string>& args, std::istream& input = std::cin);

// Runs the set-up, the field initialisation and the time loop of settings;
// args are the command line the settings came from (the magnet tuples are
// read from it after the geometry). Returns 0.
int runWithSettings(const RunSettings& settings, const std::vector<std::string>& args, std::istream& input);

}  // namespace plasmabox
