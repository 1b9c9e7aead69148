// Node-field kernels: trilinear gather and scatter at random logical positions
// on a 64^3 mesh, a whole-field sum, and the per-step check for non-finite
// values. Figures and bounds: bench/README.md.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <random>
#include <vector>

#include "mesh/NodeField.h"
#include "mesh/World.h"
#include "mesh/nonFiniteNodes.h"

using namespace plasmabox;

namespace {

constexpr int N = 64;

std::vector<Vec3> randomLogical(std::size_t count) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<double> u(0.0, N - 1.0);
  std::vector<Vec3> l(count);
  for (Vec3& p : l) p = {u(gen), u(gen), u(gen)};
  return l;
}

void BM_Gather(benchmark::State& state) {
  VectorField f(N, N, N);
  for (std::size_t q = 0; q < f.size(); ++q) f.data[q] = {double(q % 7), 1.0, -2.0};
  const std::vector<Vec3> l = randomLogical(1 << 16);
  std::size_t q = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(gather(f, l[q]));
    q = (q + 1) & (l.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Gather);

void BM_ScatterScalar(benchmark::State& state) {
  Field f(N, N, N);
  const std::vector<Vec3> l = randomLogical(1 << 16);
  std::size_t q = 0;
  for (auto _ : state) {
    scatter(f, l[q], 50.0);
    q = (q + 1) & (l.size() - 1);
  }
  benchmark::DoNotOptimize(f.data.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScatterScalar);

void BM_ScatterVector(benchmark::State& state) {
  VectorField f(N, N, N);
  const std::vector<Vec3> l = randomLogical(1 << 16);
  std::size_t q = 0;
  for (auto _ : state) {
    scatter(f, l[q], Vec3{1.0, 2.0, 3.0});
    q = (q + 1) & (l.size() - 1);
  }
  benchmark::DoNotOptimize(f.data.data());
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScatterVector);

// items = nodes: ns per node of a + b on a scalar field.
void BM_FieldSum(benchmark::State& state) {
  Field a(N, N, N), b(N, N, N);
  for (std::size_t q = 0; q < a.size(); ++q) a.data[q] = double(q), b.data[q] = 0.5;
  for (auto _ : state) {
    Field c = a + b;
    benchmark::DoNotOptimize(c.data.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(a.size()));
}
BENCHMARK(BM_FieldSum);

// The per-step check for NaN and infinite values on 64^3 nodes: the
// potential, the electric field and two species' densities, all finite (the
// whole pass runs). Argument: threads; items = nodes.
void BM_NonFiniteCheck(benchmark::State& state) {
  World w(N, N, N);
  w.grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  Field den_i(N, N, N), den_e(N, N, N);
  for (std::size_t q = 0; q < w.phi.size(); ++q) {
    w.phi.data[q] = double(q % 977) - 400.0;
    w.ef.data[q] = {double(q % 13), -1.0, 2.5};
    den_i.data[q] = 1e12 + double(q % 31);
    den_e.data[q] = 1e12 - double(q % 17);
  }
  const int threads = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  for (auto _ : state) {
    int64_t bad = countNonFiniteNodes(den_i, w.grid, threads) + countNonFiniteNodes(den_e, w.grid, threads) +
                  countNonFiniteNodes(w.phi, w.grid, threads) + countNonFiniteNodes(w.ef, w.grid, threads);
    benchmark::DoNotOptimize(bad);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.phi.size()));
}
BENCHMARK(BM_NonFiniteCheck)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
