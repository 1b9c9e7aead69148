// The ambient plasma entering through the six walls: injectAmbient for one
// species of the thermal benchmark case (64^3 cells over 0.48 m, 1e12 m^-3,
// 1 eV, weight 105468.75, dt 1.773e-9 s), in ns per injected particle
// ("per_particle"), at zero drift and at a drift of two ion thermal speeds;
// and the draw of the crossing speed alone (ns per draw), against the
// bisection of the distribution function that it replaced. Figures: bench/README.md.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "environment/injectAmbient.h"
#include "mesh/World.h"
#include "mesh/constants.h"
#include "particles/maxwellian.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// The bisection that drew the crossing speed before: the flux-weighted
// distribution function t exp(-(t - a)^2 / 2) integrated from 0 to s, inverted
// to the last bit (about 64 evaluations of erfc and exp).
double crossingIntegral(double s, double a) {
  const double erf_sum = std::erfc(-a / std::numbers::sqrt2) - std::erfc((s - a) / std::numbers::sqrt2);
  return std::exp(-0.5 * a * a) - std::exp(-0.5 * (s - a) * (s - a)) + a * std::sqrt(0.5 * std::numbers::pi) * erf_sum;
}

double bisectedCrossingSpeed(double u, double sigma) {
  const double a = u / sigma;
  const double target = rnd() * crossingIntegral(INFINITY, a);
  double lo = 0.0, hi = std::max(1.0, a) + 8.0;
  while (crossingIntegral(hi, a) < target) hi *= 2.0;
  for (int it = 0; it < 200 && lo < hi; ++it) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    (crossingIntegral(mid, a) < target ? lo : hi) = mid;
  }
  return sigma * 0.5 * (lo + hi);
}

void BM_CrossingSpeed(benchmark::State& state) {
  seedRandom(1);
  const double drift = static_cast<double>(state.range(0));  // thermal speeds
  double sum = 0.0;
  for (auto _ : state) sum += crossingNormalSpeed(drift * 1e4, 1e4);
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_CrossingSpeed)->Arg(0)->Arg(2)->Arg(-2);

void BM_CrossingSpeedBisected(benchmark::State& state) {
  seedRandom(1);
  const double drift = static_cast<double>(state.range(0));
  double sum = 0.0;
  for (auto _ : state) sum += bisectedCrossingSpeed(drift * 1e4, 1e4);
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(BM_CrossingSpeedBisected)->Arg(0)->Arg(2)->Arg(-2);

// Arguments: the species (0 O+, 1 e-) and the drift along x in its thermal
// speeds (2.45 km/s for O+, 419 km/s for e- at 1 eV).
void BM_InjectAmbient(benchmark::State& state) {
  World world(65, 65, 65);
  world.grid.setExtents({0, 0, 0}, {0.48, 0.48, 0.48});
  world.dt = 1.773e-9;
  const bool electrons = state.range(0) == 1;
  Species species(electrons ? "e-" : "O+", electrons ? ME : 16 * AMU, electrons ? -QE : QE, 105468.75, world);
  const double sigma = std::sqrt(QE / species.mass);  // m/s at 1 eV
  const Ambient a{1e12, 1.0, {static_cast<double>(state.range(1)) * sigma, 0, 0}};
  seedRandom(3);
  int64_t injected = 0;
  for (auto _ : state) {
    species.particles.clear();
    injected += injectAmbient(species, a, ObjectVeto{});
  }
  state.counters["per_particle"] =
      benchmark::Counter(static_cast<double>(injected), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["particles_per_step"] = static_cast<double>(injected) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_InjectAmbient)->Args({0, 0})->Args({0, 2})->Args({1, 0})->Args({1, 2})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
