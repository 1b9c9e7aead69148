#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "driver/RunSettings.h"

namespace plasmabox {

// Exit status of a run stopped by a scheduler's signal once its checkpoint
// is written: not finished, restart it to go on.
inline constexpr int EXIT_STOPPED_EARLY = 3;

// Runs one simulation from the arguments after the program name and returns
// the process exit status: 0 after the time loop, 1 for a short command line,
// EXIT_STOPPED_EARLY after a stop signal (SIGTERM, SIGUSR1) and its
// checkpoint, 1 when that checkpoint could not be written.
// Input errors (bad numbers, missing arguments, unusable geometry) are thrown
// as standard exceptions whose message names the cause and the place.
// input answers the one key press the geometry reader waits for.
int runSimulation(const std::vector<std::string>& args, std::istream& input = std::cin);

// Runs the set-up, the field initialisation and the time loop of settings;
// args are the command line the settings came from (the magnet tuples are
// read from it after the geometry). With settings.restart_path the run
// continues from that checkpoint (checked beforehand by checkRestart).
// Returns 0, or the status of a stop signal as runSimulation.
int runWithSettings(const RunSettings& settings, const std::vector<std::string>& args, std::istream& input);

}  // namespace plasmabox
