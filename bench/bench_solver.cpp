// Field-solver kernels: one sweep of solveSORParallel and of solveGS on a
// 64^3 mesh (ns per node), on one thread and on one thread per processor; a
// STREAM-like copy in the same run, so a sweep can be stated as a fraction of
// memory bandwidth; one Newton-Raphson solve on 32^3 (ms) with its PCG
// iterations per Newton step; the example scene's potential and magnetostatic
// systems solved by relaxation and by multigrid (s, iterations, residual).
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <memory>
#include <random>
#include <vector>

#include "geometry/amfread.h"
#include "geometry/objectPasses.h"
#include "mesh/World.h"
#include "mesh/constants.h"
#include "solver/MagnetostaticSolver.h"
#include "solver/PotentialSolver.h"
#include "solver/gsWavefront.h"
#include "solver/relaxationSweeps.h"

using namespace plasmabox;

namespace {

// Team of a sweep benchmark: its first argument, 0 for one thread per processor.
int teamOf(const benchmark::State& state) {
  return state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
}

// 64^3 nodes 1 mm apart, a plate electrode at 270 V across the middle and a
// small uniform ion charge.
std::unique_ptr<World> sweepWorld(int n) {
  auto w = std::make_unique<World>(n, n, n);
  w->grid.setExtents({0, 0, 0}, {0.001 * (n - 1), 0.001 * (n - 1), 0.001 * (n - 1)});
  for (int j = 0; j < n; ++j)
    for (int k = 0; k < n; ++k) {
      w->object_id(n / 2, j, k) = 1;
      w->phi(n / 2, j, k) = 270.0;
    }
  for (double& r : w->rho.data) r = 1e12 * QE;
  return w;
}

// ns_per_node is printed with the unit "s" by the library; its value is in ns.
void setPerNodeCounters(benchmark::State& state, double nodes, double bytes_per_node) {
  const double items = static_cast<double>(state.iterations()) * nodes;
  state.counters["ns_per_node"] =
      benchmark::Counter(items * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["team"] = teamOf(state);
  state.SetBytesProcessed(static_cast<int64_t>(items * bytes_per_node));
}

void BM_SORParallelSweep(benchmark::State& state) {
  auto w = sweepWorld(64);
  const std::vector<double> source = poissonSource(*w);  // as the solver does, once per solve
  BorderCopies borders;
  for (auto _ : state) sweepSORParallel(*w, source, 1.8, false, teamOf(state), borders);
  benchmark::DoNotOptimize(w->phi.data.data());
  // Least traffic per node: phi read and written, rho / eps0 read, object_id read.
  setPerNodeCounters(state, static_cast<double>(w->phi.size()), 8 + 8 + 8 + 4);
}
BENCHMARK(BM_SORParallelSweep)->Arg(1)->Arg(0)->UseRealTime();

// Args: the team (0: one per processor); 0 the plain row-by-row sweep (always
// one thread), 1 the wavefront sweep that solveGS uses.
void BM_GSSweep(benchmark::State& state) {
  auto w = sweepWorld(64);
  PotentialSettings settings;
  settings.max_it = 1, settings.tol = 1.0;
  PotentialSolver solver(*w, settings);
  solver.assembleMatrix();
  DenseVector x = fieldToVector(w->phi);
  DenseVector b = fieldToVector(w->rho);
  for (double& v : b) v /= -EPS_0;
  const int team = teamOf(state);
  const GSWavefrontPlan plan = gsWavefrontPlan(solver.A, w->grid.ni);
  BorderCopies borders;
  if (state.range(1) == 1) {
    for (auto _ : state) sweepGSWavefront(solver.A, x, b, plan, team, borders);
  } else {
    for (auto _ : state) sweepGS(solver.A, x, b);
  }
  benchmark::DoNotOptimize(x.data());
  // Least traffic per node: one matrix row (7 values, 7 columns), x read
  // and written, b read.
  setPerNodeCounters(state, static_cast<double>(x.size()), sizeof(MatrixRow) + 8 + 8 + 8);
}
BENCHMARK(BM_GSSweep)->ArgsProduct({{1, 0}, {0, 1}})->UseRealTime();

// STREAM "copy" on 64 MiB arrays with the given number of threads; bytes
// counted as STREAM does (8 read + 8 written per element).
void BM_StreamCopy(benchmark::State& state) {
  const std::size_t n = std::size_t{8} << 20;
  std::vector<double> a(n, 1.0), c(n, 0.0);
  const int threads = teamOf(state);
  const long long count = static_cast<long long>(n);
  for (auto _ : state) {
    const double* src = a.data();
    double* dst = c.data();
#pragma omp parallel for schedule(static) num_threads(threads)
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
  w->grid.setExtents({0, 0, 0}, {0.002 * (n - 1), 0.002 * (n - 1), 0.002 * (n - 1)});
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
  PotentialSettings settings;
  settings.method = 1, settings.max_it = 1000, settings.tol = 1e-2, settings.ne0 = ne0, settings.kTe = kTe;
  settings.threads = omp_get_num_procs();
  PotentialSolver solver(*w, settings);
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

// The bundled example's scene on n^3 nodes over its 10 cm box: electrode
// voltages on the nodes and the two magnets' magnetisation (1.2 T along y).
std::unique_ptr<World> exampleWorld(int n) {
  auto w = std::make_unique<World>(n, n, n);
  w->grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  std::vector<AmfObject> objects;
  std::streambuf* saved = std::cout.rdbuf(nullptr);  // the reader's and passes' lines stay out of the report
  std::istringstream enter("\n");
  amfread(objects, PLASMABOX_SOURCE_DIR "/examples/spacecraft/scene.amf", enter);
  amfread_voltage(*w, objects, {{"Body", 0.0}, {"electrode1", 270.0}, {"electrode2", 0.0}}, omp_get_num_procs());
  const Vec3 m{0, 1.2 / MU_0, 0};
  amfread_magvector(*w, objects, {{"magnet1", m}, {"magnet2", m}}, omp_get_num_procs());
  std::cout.rdbuf(saved);
  std::cout.clear();
  return w;
}

// Reads the residual lines a solve printed: how many and the last one.
struct Printed {
  int checks = 0;
  double last = 0.0;
};
Printed parsePrinted(const std::string& text) {
  Printed p;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    char* end = nullptr;
    const double v = std::strtod(line.c_str(), &end);
    if (end != line.c_str() && *end == '\0') ++p.checks, p.last = v;
  }
  return p;
}

// With the timing paused: times solve() alone with the console captured, and
// reads the residual lines it printed. Returns what solve() returned.
template <class Solve>
bool timedSolve(benchmark::State& state, Printed& printed, Solve solve) {
  std::ostringstream text;
  std::streambuf* saved = std::cout.rdbuf(text.rdbuf());
  std::streambuf* saved_err = std::cerr.rdbuf(text.rdbuf());
  state.ResumeTiming();
  const bool converged = solve();
  state.PauseTiming();
  std::cout.rdbuf(saved);
  std::cerr.rdbuf(saved_err);
  printed = parsePrinted(text.str());
  return converged;
}

// Args: n, 0 relaxation (SOR) or 1 multigrid, iteration limit. Tolerance 1e-2 V/m^2.
void BM_ExamplePotentialSolve(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto w = exampleWorld(n);
  PotentialSettings settings;
  settings.max_it = static_cast<int32_t>(state.range(2));
  settings.tol = 1e-2;
  settings.multigrid = state.range(1) == 1;
  settings.threads = omp_get_num_procs();
  const Field start = w->phi;
  bool converged = false;
  Printed printed;
  for (auto _ : state) {
    state.PauseTiming();
    w->phi = start;
    PotentialSolver solver(*w, settings);
    solver.buildMatrix();
    converged = timedSolve(state, printed, [&] { return solver.solve(); });
    state.ResumeTiming();
  }
  state.counters["converged"] = converged;
  state.counters["residual"] = printed.last;
  state.counters["checks"] = printed.checks;
}
BENCHMARK(BM_ExamplePotentialSolve)
    ->Args({64, 1, 200})
    ->Args({64, 0, 20000})
    ->Args({128, 1, 200})
    ->Args({128, 0, 2000})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// Args: n, 0 Gauss-Seidel or 1 multigrid, iteration limit. Tolerance 1e-4 A/m^2.
void BM_ExampleMagnetostaticSolve(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto w = exampleWorld(n);
  MagnetostaticSettings settings;
  settings.max_it = static_cast<int32_t>(state.range(2));
  settings.tol = 1e-4;
  settings.multigrid = state.range(1) == 1;
  settings.threads = omp_get_num_procs();
  bool converged = false;
  Printed printed;
  for (auto _ : state) {
    state.PauseTiming();
    converged = timedSolve(state, printed, [&] {
      MagnetostaticSolver solver(*w, settings);
      return solver.solveMagnetostatics();
    });
    state.ResumeTiming();
  }
  state.counters["converged"] = converged;
  state.counters["residual"] = printed.last;
}
BENCHMARK(BM_ExampleMagnetostaticSolve)
    ->Args({64, 1, 200})
    ->Args({64, 0, 2000})
    ->Args({128, 1, 200})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

// The electrostatic model's per-step solve on the example scene at n^3: the
// charge of a plasma changes a little from one step to the next and each solve
// starts from the previous potential. Arg: n.
void BM_ElectrostaticStepSolve(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  auto w = exampleWorld(n);
  PotentialSettings settings;
  settings.max_it = 200;
  settings.tol = 1e-2;  // V/m^2
  settings.multigrid = true;
  settings.quiet = true;
  settings.threads = omp_get_num_procs();
  std::mt19937 gen(5);
  std::normal_distribution<double> noise(0.0, 1.0);
  const double base = 1e12 * QE * 0.01;  // C/m^3: a 1 % charge imbalance of a 1e12 m^-3 plasma
  for (double& r : w->rho.data) r = base * noise(gen);
  PotentialSolver solver(*w, settings);
  solver.buildMatrix();
  solver.solve();  // the set-up solve; the per-step ones follow
  int64_t iterations = 0, solves = 0;
  for (auto _ : state) {
    state.PauseTiming();
    for (std::size_t q = 0; q < w->rho.size(); q += 7) w->rho.data[q] += 0.1 * base * noise(gen);
    state.ResumeTiming();
    solver.solve();
    iterations += solver.last_iterations, ++solves;
  }
  state.counters["iterations"] = static_cast<double>(iterations) / static_cast<double>(solves);
}
BENCHMARK(BM_ElectrostaticStepSolve)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
