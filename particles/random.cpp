#include "particles/random.h"

#include <chrono>
#include <exception>
#include <random>

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

// Created on first use, so a draw from another translation unit's static
// initialiser still finds a seeded generator.
std::mt19937& generator() {
  static std::mt19937 gen(startSeed());
  return gen;
}

// Seeds the generator during static initialisation, before main runs.
[[maybe_unused]] const std::mt19937& seeded_at_start = generator();

}  // namespace

double rnd() {
  // The distribution keeps no state for doubles; a fresh one per call is the same
  // generate_canonical<double, 53> on the shared generator.
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  return unit(generator());
}

void seedRandomForTesting(uint32_t seed) { generator().seed(seed); }
