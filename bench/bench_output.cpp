// Per-step field work on a 64^3 mesh: one field update (fused, against the same
// step written with whole-field temporaries), the VTK image alone and the step
// output files (VTK plus two density CSV files) as text, binary and compressed
// binary, in MB/s written and file sizes. Figures: bench/README.md.
#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "output/OutputSettings.h"
#include "output/stepOutput.h"
#include "output/vtkImageBinary.h"
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
  }
}

// A field state shaped like a run of the example scene, for file sizes: a
// smooth potential with a body held at 0 V, its gradient as E, a magnet's
// dipole field, and plasma (noisy densities, velocities and currents) only in
// the upstream fifth of the box; phi_m_theory and most of M are zero, as in
// a run. Compression depends on this mix; random values (fillWorld) are its
// worst case.
void fillScene(World& w, std::vector<Species>& species) {
  w.grid.setExtents({0, 0, 0}, {0.063, 0.063, 0.063});
  w.dt = 1e-11;
  w.ts = 40;
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1, 1);
  const Grid& g = w.grid;
  const Vec3 centre{0.0315, 0.0315, 0.0315}, magnet{0.0315, 0.04, 0.0315};
  for (int i = 0; i < g.ni; ++i)
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        const Vec3 x{g.x0.x + i * g.dh.x, g.x0.y + j * g.dh.y, g.x0.z + k * g.dh.z};
        const Vec3 r = x - centre, m = x - magnet;
        const double r2 = dot(r, r), m2 = dot(m, m) + 1e-6;
        const bool body = r.y * r.y + r.z * r.z < 1e-4 && std::fabs(r.x) < 0.02;  // m^2, m: a 1 cm cylinder
        w.object_id(i, j, k) = body ? 1 : 0;
        w.phi(i, j, k) = body ? 0.0 : 270.0 * std::exp(-r2 / 4e-4);  // V
        w.phi_m(i, j, k) = 1e-3 * m.y / std::pow(m2, 1.5);           // A, a dipole's potential
        w.H(i, j, k) = {3e-3 * m.x * m.y / std::pow(m2, 2.5), 1e-3 * (3 * m.y * m.y - m2) / std::pow(m2, 2.5),
                        3e-3 * m.z * m.y / std::pow(m2, 2.5)};
        const bool inside_magnet = m2 < 2e-5;
        w.M(i, j, k) = inside_magnet ? Vec3{0, 9.5e5, 0} : Vec3{};
        w.B(i, j, k) = MU_0 * (w.H(i, j, k) + w.M(i, j, k));
        if (x.x < 0.0126) {  // the plasma slab
          for (Species& s : species) {
            s.den(i, j, k) = 1e12 * (1 + 0.3 * u(gen));
            s.vel(i, j, k) = {8e3 * (1 + 0.3 * u(gen)), 3e3 * u(gen), 3e3 * u(gen)};
          }
          w.rho(i, j, k) = 1.6e-19 * 1e11 * u(gen);
        }
      }
  w.ef = minusGradient(w.phi, w.grid);
}

// Arguments of the output benchmarks: format (0 text, 1 binary, 2 compressed
// binary), data (0 random values, 1 scene-like fields) and the threads that
// compress (1 or 2).
void outputArguments(benchmark::internal::Benchmark* b) {
  b->ArgNames({"format", "scene", "threads"});
  for (int scene : {0, 1})
    for (int format : {0, 1, 2})
      for (int threads : {1, 2})
        if (format == 2 || threads == 1) b->Args({format, scene, threads});
}

struct OutputCase {
  World w{N, N, N};
  std::vector<Species> species;
  OutputSettings settings;
  explicit OutputCase(const benchmark::State& state) {
    species.reserve(2);
    species.emplace_back("O+", 16 * AMU, QE, 1, w);
    species.emplace_back("e-", ME, -QE, 1, w);
    if (state.range(1) == 1)
      fillScene(w, species);
    else
      fillWorld(w, species);
    settings.vtk_format = state.range(0) == 0 ? VtkFormat::ASCII : VtkFormat::BINARY;
    settings.vtk_compress = state.range(0) == 2;
    settings.threads = static_cast<int>(state.range(2));
  }
};

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

// Every iteration writes new files, as a run does: rewriting one file would
// time the wait for the write-back of its previous version. The files are
// removed outside the timing.

// The VTK image file alone, written to disk and closed each time.
void BM_WriteVtkImage(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path file = fs::temp_directory_path() / "plasmabox_bench_image.vti";
  OutputCase c(state);
  std::uintmax_t bytes = 0;
  for (auto _ : state) {
    {
      std::ofstream f(file, std::ios::binary);
      if (c.settings.vtk_format == VtkFormat::ASCII)
        writeVtkImageText(f, c.w, c.species);
      else
        writeVtkImageBinary(f, c.w, c.species, {c.settings.vtk_compress, c.settings.threads});
    }
    state.PauseTiming();
    bytes = fs::file_size(file);
    fs::remove(file);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["file_MB"] = double(bytes) / 1e6;
}
BENCHMARK(BM_WriteVtkImage)->Apply(outputArguments)->Unit(benchmark::kMillisecond);

// The whole step: the VTK image and the two density CSV files (always text).
void BM_WriteOutput(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "plasmabox_bench_output";
  fs::create_directories(dir / "vti");
  OutputCase c(state);
  const std::string o_file = (dir / "output_O_40.csv").string();
  const std::string e_file = (dir / "output_e_40.csv").string();
  std::uintmax_t vti = 0, bytes = 0;
  for (auto _ : state) {
    writeOutputFiles(c.w, c.species, {o_file, o_file, e_file}, c.settings);
    state.PauseTiming();
    vti = fs::file_size(dir / "vti" / "00040.vti");
    bytes = fs::file_size(o_file) + fs::file_size(e_file) + vti;
    for (const fs::path& f : {fs::path(o_file), fs::path(e_file), dir / "vti" / "00040.vti"}) fs::remove(f);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["file_MB"] = double(bytes) / 1e6;
  state.counters["vti_MB"] = double(vti) / 1e6;
  fs::remove_all(dir);
}
BENCHMARK(BM_WriteOutput)->Apply(outputArguments)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
