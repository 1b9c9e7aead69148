// Checkpoint write and read rates at 128^3 nodes with 10^7 macro-particles
// (two species of 5 * 10^6), on one process or, under mpirun, on several
// (each holding its slab and its share of the particles), against the binary
// VTK writer's rate on the same mesh. Figures: bench/README.md.
//
//   build/bench/bench_checkpoint
//   mpirun -np 2 build/bench/bench_checkpoint
//
// Every process runs every benchmark (the file is written together); the
// time of an iteration is the slowest process's, and only rank 0 reports.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/World.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
#include "output/Checkpoint.h"
#include "output/checkpointFiles.h"
#include "output/vtkImageBinary.h"
#include "particles/Species.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

namespace fs = std::filesystem;

constexpr int32_t N = 128;
constexpr int64_t PARTICLES_PER_SPECIES = 5'000'000;

Decomposition& part() {
  static Decomposition p;
  return p;
}

// A checkpoint of the electrostatic model's size plus the induction model's
// B: every field full of noise, the particles spread over this process's slab.
const Checkpoint& record() {
  static std::unique_ptr<Checkpoint> c;
  if (c) return *c;
  c = std::make_unique<Checkpoint>();
  const Decomposition& p = part();
  const int32_t planes = p.localCount();
  std::mt19937_64 gen(static_cast<uint64_t>(p.rank) + 1);
  std::uniform_real_distribution<double> u(-1, 1);
  c->step = 1000, c->time = 1e-8, c->processes = p.size, c->seed = 1;
  c->fingerprint.assign(65, FingerprintEntry{"argument 1 (ni)", "128"});
  c->phi = Field(planes, N, N), c->ef = VectorField(planes, N, N), c->B = VectorField(planes, N, N);
  for (double& v : c->phi.data) v = 100 * u(gen);
  for (Vec3& v : c->ef.data) v = {1e4 * u(gen), 1e4 * u(gen), 1e4 * u(gen)};
  for (Vec3& v : c->B.data) v = {1e-2 * u(gen), 1e-2 * u(gen), 1e-2 * u(gen)};
  const int64_t mine = PARTICLES_PER_SPECIES / p.size;
  const double x0 = 0.1 * p.ownedBegin() / (N - 1), x1 = 0.1 * p.ownedEnd() / (N - 1);
  for (const char* name : {"O+", "e-"}) {
    SpeciesState& s = c->species.emplace_back();
    s.name = name;
    s.den = Field(planes, N, N);
    for (double& v : s.den.data) v = 1e15 * (1 + u(gen));
    s.particles.resize(static_cast<std::size_t>(mine));
    for (Particle& q : s.particles)
      q = {{x0 + (x1 - x0) * 0.5 * (1 + u(gen)), 0.05 * (1 + u(gen)), 0.05 * (1 + u(gen))},
           {1e5 * u(gen), 1e5 * u(gen), 1e5 * u(gen)},
           50.0};
    s.bin_counts.assign(32768 / static_cast<std::size_t>(p.size) + 2, 0u);
  }
  seedRandom(1);
  c->random_state = randomState();
  for (int n = 0; n < 100; ++n) c->series.push_back({n * 1e-10, 0, "vti/00000.vti"});
  return *c;
}

std::string folder() {
  int pid = getpid();
  if (part().distributed()) pid = static_cast<int>(sumOverProcesses(part(), part().rank == 0 ? int64_t{pid} : int64_t{0}));
  return (fs::temp_directory_path() / ("plasmabox_bench_checkpoint_" + std::to_string(pid))).string();
}

// Runs one timed iteration on every process together: the slowest's time.
template <class F>
double timed(F&& f) {
  anyProcess(part(), false);  // every process starts together
  const auto start = std::chrono::steady_clock::now();
  f();
  const double mine = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return maxOverProcesses(part(), mine);
}

// durable: flushed to the disk and renamed as a run does (commitFile);
// otherwise written into the page cache only.
void BM_WriteCheckpoint(benchmark::State& state) {
  const Checkpoint& c = record();
  const std::string dir = folder(), path = dir + "/01000.h5";
  if (part().rank == 0) fs::create_directories(dir);
  const bool durable = state.range(0) != 0;
  uintmax_t bytes = 0;
  for (auto _ : state) {
    state.SetIterationTime(timed([&] {
      writeCheckpoint(unfinishedName(path), part(), c);
      if (durable && part().rank == 0) commitFile(unfinishedName(path), path);
    }));
    bytes = fs::file_size(durable ? path : unfinishedName(path));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WriteCheckpoint)->Arg(0)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// Read back from the page cache (the file was just written): the library's
// own cost, not the disk's.
void BM_ReadCheckpoint(benchmark::State& state) {
  const std::string path = folder() + "/01000.h5";
  uintmax_t bytes = fs::file_size(path);
  for (auto _ : state) {
    state.SetIterationTime(timed([&] { benchmark::DoNotOptimize(readCheckpoint(path, part(), N, N)); }));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  anyProcess(part(), false);
  if (part().rank == 0) fs::remove_all(fs::path(path).parent_path());
}
BENCHMARK(BM_ReadCheckpoint)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The binary VTK image of the same mesh (every array of a run's file, 28
// doubles and one integer per node) by one process, into the page cache.
void BM_WriteVtkImageBinary(benchmark::State& state) {
  if (part().distributed()) {
    state.SkipWithError("the VTK image is timed on one process");
    return;
  }
  World w(N, N, N);
  w.grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  std::vector<Species> species;
  species.emplace_back("O+", 2.66e-26, 1.6e-19, 50, w);
  species.emplace_back("e-", 9.1e-31, -1.6e-19, 50, w);
  std::mt19937_64 gen(3);
  std::uniform_real_distribution<double> u(-1, 1);
  for (Field* f : {&w.phi, &w.rho, &w.phi_m, &species[0].den, &species[1].den, &species[0].den_prev})
    for (double& v : f->data) v = u(gen);
  for (VectorField* f : {&w.ef, &w.B, &w.H, &w.M, &species[0].vel, &species[1].vel})
    for (Vec3& v : f->data) v = {u(gen), u(gen), u(gen)};
  const fs::path file = fs::temp_directory_path() / "plasmabox_bench_checkpoint.vti";
  uintmax_t bytes = 0;
  for (auto _ : state) {
    state.SetIterationTime(timed([&] {
      std::ofstream f(file, std::ios::binary);
      writeVtkImageBinary(f, w, species, {false, 1});
    }));
    bytes = fs::file_size(file);
  }
  fs::remove(file);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_WriteVtkImageBinary)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The reports of every process but the first go nowhere.
class Silent : public benchmark::BenchmarkReporter {
 public:
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const ProcessPlace place = joinProcesses();
  part() = place.size > 1 ? splitIntoSlabs(N, place.rank, place.size) : wholeMesh(N);
  Silent silent;
  if (place.rank == 0)
    benchmark::RunSpecifiedBenchmarks();
  else
    benchmark::RunSpecifiedBenchmarks(&silent);
  benchmark::Shutdown();
  stopMessagePassing();
  return 0;
}
