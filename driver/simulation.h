#pragma once

#include <iostream>
#include <string>
#include <vector>

// Runs one simulation from the arguments after the program name and returns
// the process exit status: 0 after the time loop, 1 for a short command line.
// Input errors (bad numbers, missing arguments, unusable geometry) are thrown
// as standard exceptions whose message names the cause and the place.
// input answers the one key press the geometry reader waits for.
int runSimulation(const std::vector<std::string>& args, std::istream& input = std::cin);
