#include "particles/random.h"

#include <mpi.h>

#include <chrono>
#include <exception>
#include <random>
#include <sstream>
#include <stdexcept>

namespace plasmabox {

namespace {

// One 32-bit seed from the random device; if the platform has none (the device
// throws), the steady clock still gives runs that differ from one start to the next.
uint32_t startSeed() {
  try {
    std::random_device device;
    return device();
  } catch (const std::exception&) {
    return static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  }
}

struct Source {
  uint32_t seed = startSeed();
  std::mt19937 gen{seed};
};

// Created on first use, so a draw from another translation unit's static
// initialiser still finds a seeded generator.
Source& source() {
  static Source s;
  return s;
}

// Seeds the generator during static initialisation, before main runs.
[[maybe_unused]] const Source& seeded_at_start = source();

}  // namespace

double rnd() {
  // The distribution keeps no state for doubles; a fresh one per call is the same
  // generate_canonical<double, 53> on the shared generator.
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  return unit(source().gen);
}

void seedRandom(uint32_t seed) {
  source().seed = seed;
  source().gen.seed(seed);
}

uint32_t randomSeed() { return source().seed; }

void useProcessStream(uint32_t seed, int rank, int size) {
  if (size <= 1) {
    seedRandom(seed);
    return;
  }
  // The seed sequence spreads the three numbers over the whole generator
  // state: neighbouring ranks get unrelated streams.
  std::seed_seq mixed{seed, static_cast<uint32_t>(rank), static_cast<uint32_t>(size)};
  source().seed = seed;
  source().gen.seed(mixed);
}

std::vector<uint32_t> randomState() {
  std::ostringstream text;
  text << source().gen;
  std::vector<uint32_t> state;
  std::istringstream words(text.str());
  for (uint32_t w; words >> w;) state.push_back(w);
  return state;
}

void setRandomState(const std::vector<uint32_t>& state, uint32_t seed) {
  std::ostringstream text;
  for (uint32_t w : state) text << w << ' ';
  std::istringstream words(text.str());
  std::mt19937 gen;
  words >> gen;
  if (state.empty() || words.fail())
    throw std::invalid_argument("the " + std::to_string(state.size()) +
                                " numbers given are not the state of a std::mt19937 generator");
  source().gen = gen;
  source().seed = seed;
}

void useContinuationStream(uint32_t seed, int rank, int size, int32_t step) {
  std::seed_seq mixed{seed, static_cast<uint32_t>(rank), static_cast<uint32_t>(size), static_cast<uint32_t>(step)};
  source().seed = seed;
  source().gen.seed(mixed);
}

void useProcessStream(const Decomposition& part) {
  if (!part.distributed()) return;
  uint32_t seed = randomSeed();
  MPI_Bcast(&seed, 1, MPI_UINT32_T, 0, MPI_COMM_WORLD);
  useProcessStream(seed, part.rank, part.size);
}

}  // namespace plasmabox
