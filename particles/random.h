#pragma once

#include <cstdint>

namespace plasmabox {

// The process-wide random source of particle loading and injection: one 32-bit
// Mersenne Twister (standard mt19937 parameters), seeded during static
// initialisation with one value from the platform's random device, so two runs
// draw different numbers unless the run seeds it (option seed).
//
// Not thread-safe: only the driver's thread may draw.

// Next uniform double on [0, 1), built from two consecutive 32-bit outputs
// (53 random bits) exactly as std::uniform_real_distribution<double>(0, 1) does.
double rnd();

// Restarts the generator from seed: the draws that follow are those of
// std::mt19937(seed).
void seedRandom(uint32_t seed);

// The seed the generator started from: the random device's value, or the last
// one given to seedRandom.
uint32_t randomSeed();

}  // namespace plasmabox
