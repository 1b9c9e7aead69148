// The cost of floating conductors per step: one electrostatic step (particle
// phase and potential solve) on 64^3 nodes over 0.1 m with an ambient plasma
// (1e11 m^-3, 1 eV, ions of 1 amu, 2^18 macro-particles per species) around
// 0, 1 or 4 spheres of 5 mm, each floating (argument: how many float; the
// others are held at 0 V, so every case solves the same geometry).
// Figures: bench/README.md.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "driver/run_in_process.h"
#include "geometry/testMeshes.h"
#include "support/amf_meshes.h"
#include "support/command_line.h"

using namespace plasmabox;

namespace {

void BM_StepWithFloatingSpheres(benchmark::State& state) {
  const int floating = static_cast<int>(state.range(0));
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "plasmabox_bench_surfaces";
  std::filesystem::create_directories(dir);
  std::vector<NamedMesh> spheres;
  const Vec3 centres[4] = {{0.0301, 0.0302, 0.0503}, {0.0701, 0.0302, 0.0503}, {0.0301, 0.0702, 0.0503},
                           {0.0701, 0.0702, 0.0503}};
  for (int s = 0; s < 4; ++s) spheres.push_back(sphereMesh(std::string("S").append(std::to_string(s)), centres[s], 0.005, 3));
  std::ofstream(dir / "spheres.amf") << meshesAmf(spheres);
  CommandLine cl((dir / "spheres.amf").string());
  for (int p : {1, 2, 3}) cl.set(p, "64");
  for (int p : {5, 7, 9}) cl.set(p, "0.1");
  cl.set(25, dir.string().append("/")).set(26, "1").set(31, "1000000").set(32, "0").set(53, "0").set(28, "1e-2");
  cl.args.resize(53);
  std::vector<std::string> options = {"field_model=electrostatic", "walls=grounded", "ambient_density=1e11",
                                      "ambient_temperature_e=1", "ambient_temperature_i=1", "macro_weight=381.47",
                                      "dt=5e-9", "max_step=1000000", "seed=1"};
  std::string names = "floating=";
  for (int s = 0; s < 4; ++s) {
    const std::string name = std::string("S").append(std::to_string(s));
    options.push_back(std::string("voltage.").append(name).append("=0"));
    if (s < floating) names.append(s > 0 ? "," : "").append(name);
  }
  if (floating > 0) options.push_back(names);
  InProcessRun r(cl.with(options));
  for (int warm = 0; warm < 3; ++warm) r.step();
  for (auto _ : state) r.step();
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_StepWithFloatingSpheres)->Arg(0)->Arg(1)->Arg(4)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
