#pragma once

#include <cstdint>
#include <vector>

#include "mesh/Decomposition.h"

namespace plasmabox {

// The process-wide random source of particle loading and injection: one 32-bit
// Mersenne Twister (standard mt19937 parameters), seeded during static
// initialisation with one value from the platform's random device, so two runs
// draw different numbers unless the run seeds it (option seed). Each process
// of a distributed run draws from a stream of its own (useProcessStream).
//
// Not thread-safe: only the driver's thread may draw.

// Next uniform double on [0, 1), built from two consecutive 32-bit outputs
// (53 random bits) exactly as std::uniform_real_distribution<double>(0, 1) does.
double rnd();

// Restarts the generator from seed: the draws that follow are those of
// std::mt19937(seed).
void seedRandom(uint32_t seed);

// The seed the generator started from: the random device's value, or the last
// one given to seedRandom or useProcessStream.
uint32_t randomSeed();

// The stream of process rank of a run of size processes started from seed
// (the run's seed, the same on every process). On one process (size <= 1)
// this is seedRandom(seed): the draws of std::mt19937(seed). Otherwise the
// generator restarts from std::seed_seq{seed, rank, size}, so that the
// processes draw independent numbers and a run is repeated exactly by the
// same seed on the same number of processes. randomSeed() then reports seed.
// Call it before the first draw of the run.
void useProcessStream(uint32_t seed, int rank, int size);

// useProcessStream with the seed of process 0 (randomSeed() there: the
// option's or its random device's value), which it sends to the others.
// Every process of part must call it. On one process it does nothing: the
// stream stays exactly as it is.
void useProcessStream(const Decomposition& part);

// The generator's whole state as numbers (the words of its text form, as
// std::mt19937 writes it): setRandomState of them makes it draw exactly what
// it would have drawn next. randomSeed() is not part of it.
std::vector<uint32_t> randomState();

// Restores a state of randomState, and seed as randomSeed(). Throws
// std::invalid_argument when the numbers are not a generator state.
void setRandomState(const std::vector<uint32_t>& state, uint32_t seed);

// A stream for a run continued from step step on another number of
// processes than the one that drew before: restarts the generator of
// process rank of size from std::seed_seq{seed, rank, size, step}, unrelated
// to the streams of useProcessStream and to those of other steps.
void useContinuationStream(uint32_t seed, int rank, int size, int32_t step);

}  // namespace plasmabox
