#pragma once

#include <cstdint>

// The process-wide random source of particle loading and injection: one 32-bit
// Mersenne Twister (standard mt19937 parameters), seeded once during static
// initialisation with one value from the platform's random device, so two runs
// of the program never draw the same numbers.
//
// Not thread-safe: only the driver's thread may draw.

// Next uniform double on [0, 1), built from two consecutive 32-bit outputs
// (53 random bits) exactly as std::uniform_real_distribution<double>(0, 1) does.
double rnd();

// TEST-ONLY. Restarts the process-wide generator from seed, so a test can replay
// the draws with its own std::mt19937(seed). The program never calls this.
void seedRandomForTesting(uint32_t seed);
