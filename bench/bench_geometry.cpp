// Point-in-object query on a tessellated sphere of 20,480 triangles, through
// the ray index and by the full scan, for points spread over the sphere's box;
// the voltage pass over a 64^3 mesh around that sphere; and the classification
// of the cells of that mesh (findClearCells) with two electrode rings added.
// Figures and bounds: bench/README.md.
#include <benchmark/benchmark.h>

#include <iostream>
#include <map>
#include <random>
#include <stdexcept>
#include <vector>

#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "geometry/objectPasses.h"
#include "tests/geometry/testMeshes.h"

using namespace plasmabox;

namespace {

constexpr int SPHERE_LEVELS = 5;  // 20 * 4^5 = 20480 triangles

std::vector<AmfObject> sphere() { return {toObject(sphereMesh("sphere", {0, 0, 0}, 1.0, SPHERE_LEVELS))}; }

std::vector<Vec3> pointsInBox(std::size_t count) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  std::vector<Vec3> p(count);
  for (Vec3& x : p) x = {u(gen), u(gen), u(gen)};
  return p;
}

template <int (*Query)(std::span<const AmfObject>, const Vec3&)>
void BM_Containment(benchmark::State& state) {
  const std::vector<AmfObject> world = sphere();
  const std::vector<Vec3> points = pointsInBox(1024);
  std::size_t q = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Query(world, points[q]));
    q = (q + 1) & (points.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Containment<findContainingObjectIndex>)->Name("ContainmentIndexed");
BENCHMARK(BM_Containment<findContainingObjectIndexFullScan>)->Name("ContainmentFullScan");

// Both queries over the same 1024 points: any difference stops the benchmark.
void BM_ContainmentAgree(benchmark::State& state) {
  const std::vector<AmfObject> world = sphere();
  const std::vector<Vec3> points = pointsInBox(1024);
  for (auto _ : state)
    for (const Vec3& p : points)
      if (findContainingObjectIndex(world, p) != findContainingObjectIndexFullScan(world, p))
        state.SkipWithError("indexed and full-scan results differ");
}
BENCHMARK(BM_ContainmentAgree)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_VoltagePass(benchmark::State& state) {
  World world(64, 64, 64);
  world.grid.setExtents({-1.2, -1.2, -1.2}, {1.2, 1.2, 1.2});
  const std::vector<AmfObject> objects = sphere();
  const std::map<std::string, double> voltages = {{"sphere", 100.0}};
  std::streambuf* saved = std::cout.rdbuf(nullptr);  // keep the pass's console lines out of the report
  for (auto _ : state) amfread_voltage(world, objects, voltages, static_cast<int>(state.range(0)));
  std::cout.rdbuf(saved);
  std::cout.clear();
  state.SetItemsProcessed(state.iterations() * 64 * 64 * 64);
}
BENCHMARK(BM_VoltagePass)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The set-up cost of the push's fast path: clear parts of the 64^3 cells
// around the sphere and two rings of 1,024 triangles (argument: thread count).
void BM_FindClearCells(benchmark::State& state) {
  Grid grid(64, 64, 64);
  grid.setExtents({-1.2, -1.2, -1.2}, {1.2, 1.2, 1.2});
  std::vector<AmfObject> objects = sphere();
  objects.push_back(toObject(ringMesh("ring1", {-0.9, 0, 0}, 0.9, 1.1, 0.1, 128)));
  objects.push_back(toObject(ringMesh("ring2", {0.9, 0, 0}, 0.9, 1.1, 0.1, 128)));
  std::size_t masks = 0;
  for (auto _ : state) {
    const ClearCells c = findClearCells(grid, objects, static_cast<int>(state.range(0)));
    masks = c.part_masks.size();
  }
  state.counters["mixed_cells"] = static_cast<double>(masks);
}
BENCHMARK(BM_FindClearCells)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
