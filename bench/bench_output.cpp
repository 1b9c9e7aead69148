// Per-step field work on a 64^3 mesh: one field update (fused, against the same
// step written with whole-field temporaries), and the step output files (VTK
// plus two density CSV files) in MB/s of text written. Figures: bench/README.md.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <vector>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "output/stepOutput.h"
#include "particles/Species.h"

using namespace plasmabox;

namespace {

constexpr int N = 64;

// Every field a run writes, filled with full-precision values of typical size,
// so that the numbers are as long as in a real output file.
void fillWorld(World& w, std::vector<Species>& species) {
  w.grid.setExtents({0, 0, 0}, {0.063, 0.063, 0.063});  // m, 1 mm spacing
  w.dt = 1e-11;
  w.ts = 40;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1, 1);
  auto fill = [&](Field& f, double scale) {
    for (double& v : f.data) v = scale * u(gen);
  };
  auto fillVec = [&](VectorField& f, double scale) {
    for (Vec3& v : f.data) v = {scale * u(gen), scale * u(gen), scale * u(gen)};
  };
  fill(w.phi, 100);        // V
  fill(w.rho, 1e-4);       // C/m^3
  fill(w.phi_m, 10);       // A
  fillVec(w.ef, 1e4);      // V/m
  fillVec(w.B, 1e-2);      // T
  fillVec(w.H, 1e4);       // A/m
  fillVec(w.j_total, 1e3); // A/m^2
  for (std::size_t q = 0; q < w.object_id.size(); q += 17) w.object_id.data[q] = 1;
  for (Species& s : species) {
    fill(s.den, 1e15);     // m^-3
    fillVec(s.vel, 1e5);   // m/s
    fillVec(s.j, 1e3);     // A/m^2
  }
}

void BM_UpdateFields(benchmark::State& state) {
  World w(N, N, N);
  std::vector<Species> species;
  fillWorld(w, species);
  for (auto _ : state) {
    updateFields(w);
    benchmark::DoNotOptimize(w.ef.data.data());
  }
  state.counters["ns_per_node"] = benchmark::Counter(
      double(N) * N * N * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdateFields)->Unit(benchmark::kMillisecond);

// The same step composed from the public operators with whole-field temporaries:
// the reference the fused update is measured against (and bit-identical to).
void BM_UpdateFieldsComposed(benchmark::State& state) {
  World w(N, N, N);
  std::vector<Species> species;
  fillWorld(w, species);
  for (auto _ : state) {
    w.ef = minusGradient(w.phi, w.grid);
    w.B = w.B - w.dt * curl(w.ef, 0, w.grid);
    w.ef = w.ef + w.dt * (C2 * curl(w.B, 0, w.grid) - (1 / EPS_0) * w.j_total);
    dampBoundaryLayers(w.ef);
    benchmark::DoNotOptimize(w.ef.data.data());
  }
  state.counters["ns_per_node"] = benchmark::Counter(
      double(N) * N * N * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdateFieldsComposed)->Unit(benchmark::kMillisecond);

void BM_WriteOutput(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "plasmabox_bench_output";
  fs::create_directories(dir / "vti");
  World w(N, N, N);
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * AMU, QE, 1, w);
  species.emplace_back("e-", ME, -QE, 1, w);
  fillWorld(w, species);
  const std::string o_file = (dir / "output_O_40.csv").string();
  const std::string e_file = (dir / "output_e_40.csv").string();
  for (auto _ : state) writeOutput(w, species, o_file, e_file);
  const auto bytes = fs::file_size(o_file) + fs::file_size(e_file) + fs::file_size(dir / "vti" / "00040.vti");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["file_MB"] = double(bytes) / 1e6;
  fs::remove_all(dir);
}
BENCHMARK(BM_WriteOutput)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
