// Field-solver kernels: one sweep of solveSORParallel and of solveGS on a
// 64^3 mesh (ns per node), under the program's own thread setting (60
// threads requested with dynamic adjustment on), with 60 threads forced
// (dynamic adjustment off) and with one thread per core; a STREAM-like copy in
// the same run, so a sweep can be stated as a fraction of memory bandwidth;
// one Newton-Raphson solve on 32^3 (ms) with its PCG iterations per Newton step.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <memory>
#include <vector>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "solver/PotentialSolver.h"
#include "solver/gsWavefront.h"
#include "solver/relaxationSweeps.h"
#include "solver/solverSupport.h"

namespace {

// Thread modes of the sweep benchmarks (the benchmark argument).
enum ThreadMode { PROGRAM_SETTING = 0, FORCED_60 = 1, ONE_PER_CORE = 2 };

void applyThreadMode(World& w, int mode) {
  omp_set_dynamic(mode == PROGRAM_SETTING ? 1 : 0);
  w.num_threads = mode == ONE_PER_CORE ? omp_get_num_procs() : 60;
  useWorldThreads(w);
}

// 64^3 nodes 1 mm apart, a plate electrode at 270 V across the middle and a
// small uniform ion charge.
std::unique_ptr<World> sweepWorld(int n) {
  auto w = std::make_unique<World>(n, n, n);
  w->setExtents({0, 0, 0}, {0.001 * (n - 1), 0.001 * (n - 1), 0.001 * (n - 1)});
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k) {
      w->object_id(n / 2, j, k) = 1;
      w->phi(n / 2, j, k) = 270.0;
    }
  for (double& r : w->rho.data) r = 1e12 * QE;
  return w;
}

// Size of the team that a parallel region gets now (with dynamic adjustment
// on, the runtime may give fewer threads than requested).
int teamSize() {
  int size = 0;
#pragma omp parallel
  {
#pragma omp single
    size = omp_get_num_threads();
  }
  return size;
}

// ns_per_node is printed with the unit "s" by the library; its value is in ns.
void setPerNodeCounters(benchmark::State& state, double nodes, double bytes_per_node) {
  const double items = static_cast<double>(state.iterations()) * nodes;
  state.counters["ns_per_node"] =
      benchmark::Counter(items * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["team"] = teamSize();
  state.SetBytesProcessed(static_cast<int64_t>(items * bytes_per_node));
}

void BM_SORParallelSweep(benchmark::State& state) {
  auto w = sweepWorld(64);
  applyThreadMode(*w, static_cast<int>(state.range(0)));
  const std::vector<double> source = poissonSource(*w);  // as the solver does, once per solve
  for (auto _ : state) sweepSORParallel(*w, source);
  benchmark::DoNotOptimize(w->phi.data.data());
  // Least traffic per node: phi read and written, rho / eps0 read, object_id read.
  setPerNodeCounters(state, static_cast<double>(w->phi.size()), 8 + 8 + 8 + 4);
  omp_set_dynamic(0);
}
BENCHMARK(BM_SORParallelSweep)->Arg(PROGRAM_SETTING)->Arg(FORCED_60)->Arg(ONE_PER_CORE)->UseRealTime();

// Arg 0..2: the thread mode; the second arg: 0 the row-by-row sweep, 1 the
// wavefront sweep that solveGS uses.
void BM_GSSweep(benchmark::State& state) {
  auto w = sweepWorld(64);
  PotentialSolver solver(*w, 0, 1, 1.0, 0.0, 1e12, 1.5);
  solver.buildMatrix();
  DenseVector x = fieldToVector(w->phi);
  DenseVector b = fieldToVector(w->rho);
  for (double& v : b) v /= -EPS_0;
  applyThreadMode(*w, static_cast<int>(state.range(0)));
  const GSWavefrontPlan plan = gsWavefrontPlan(solver.A, w->ni);
  if (state.range(1) == 1) {
    for (auto _ : state) sweepGSWavefront(solver.A, x, b, plan);
  } else {
    for (auto _ : state) sweepGS(solver.A, x, b);
  }
  benchmark::DoNotOptimize(x.data());
  // Least traffic per node: one matrix row (7 values, 7 columns), x read
  // and written, b read.
  setPerNodeCounters(state, static_cast<double>(x.size()), sizeof(MatrixRow) + 8 + 8 + 8);
  omp_set_dynamic(0);
}
BENCHMARK(BM_GSSweep)
    ->ArgsProduct({{PROGRAM_SETTING, FORCED_60, ONE_PER_CORE}, {0, 1}})
    ->UseRealTime();

// STREAM "copy" on 64 MiB arrays with the given number of threads; bytes
// counted as STREAM does (8 read + 8 written per element).
void BM_StreamCopy(benchmark::State& state) {
  const std::size_t n = std::size_t{8} << 20;
  std::vector<double> a(n, 1.0), c(n, 0.0);
  const int threads = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  omp_set_dynamic(0);
  omp_set_num_threads(threads);
  const long long count = static_cast<long long>(n);
  for (auto _ : state) {
    const double* src = a.data();
    double* dst = c.data();
#pragma omp parallel for schedule(static)
    for (long long q = 0; q < count; ++q) dst[q] = src[q];
    benchmark::ClobberMemory();
  }
  state.counters["threads_used"] = threads;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n) * 16);
}
BENCHMARK(BM_StreamCopy)->Arg(1)->Arg(0)->UseRealTime();

// Newton-Raphson with PCG inner solves on 32^3 nodes 2 mm apart (Debye
// length about 9 mm): ion density 0.7e12 to 1.3e12 m^-3 varying along x, the
// outer layer held at the quasi-neutral potential (+0.5 V on one face).
void BM_NewtonSolve(benchmark::State& state) {
  const int n = 32;
  const double ne0 = 1e12, kTe = 1.5;
  auto w = std::make_unique<World>(n, n, n);
  w->num_threads = omp_get_num_procs();
  w->setExtents({0, 0, 0}, {0.002 * (n - 1), 0.002 * (n - 1), 0.002 * (n - 1)});
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        const double ratio = 1.0 + 0.3 * std::cos(M_PI * i / (n - 1));
        w->rho(i, j, k) = ne0 * QE * ratio;
        if (i == 0 || j == 0 || k == 0 || i == n - 1 || j == n - 1 || k == n - 1) {
          w->object_id(i, j, k) = 1;
          w->phi(i, j, k) = kTe * std::log(ratio) + (i == 0 ? 0.5 : 0.0);
        }
      }
  PotentialSolver solver(*w, 1, 1000, 1e-2, 0.0, ne0, kTe);
  solver.buildMatrix();
  const Field start = w->phi;
  bool converged = true;
  for (auto _ : state) {
    state.PauseTiming();
    w->phi = start;
    state.ResumeTiming();
    converged = solver.solve() && converged;
  }
  state.counters["converged"] = converged;
  state.counters["newton_steps"] = solver.newton_steps;
  state.counters["pcg_per_newton_step"] =
      static_cast<double>(solver.pcg_iterations) / (solver.newton_steps > 0 ? solver.newton_steps : 1);
}
BENCHMARK(BM_NewtonSolve)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
