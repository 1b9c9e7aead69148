// Point-in-object query on a tessellated sphere of 20,480 triangles, through
// the ray index and by the full scan, for points spread over the sphere's box;
// the voltage pass over a 64^3 mesh around that sphere; and the classification
// of the cells of that mesh (findClearCells) with two electrode rings added.
// Figures and bounds: bench/README.md.
#include <benchmark/benchmark.h>

#include <cmath>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "geometry/amfread.h"
#include "geometry/containment.h"
#include "geometry/firstHit.h"
#include "geometry/findClearCells.h"
#include "geometry/objectPasses.h"
#include "mesh/constants.h"
#include "particles/Species.h"
#include "surfaces/illumination.h"
#include "surfaces/photoemission.h"
#include "surfaces/pointOnTriangle.h"
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

// The example spacecraft scene, read as the program reads it (console muted).
const std::vector<AmfObject>& spacecraft() {
  static const std::vector<AmfObject> objects = [] {
    std::vector<AmfObject> o;
    std::istringstream no_input;
    std::streambuf* saved = std::cout.rdbuf(nullptr);
    amfread(o, PLASMABOX_SOURCE_DIR "/examples/spacecraft/scene.amf", no_input);
    std::cout.rdbuf(saved);
    std::cout.clear();
    return o;
  }();
  return objects;
}

// Rays from points spread over the example's 10 cm mesh box, in directions
// spread over the sphere; `length` is the segment length (m) when they are
// used as segments.
struct Probe {
  Vec3 origin;
  Vec3 direction;  // unit
};
std::vector<Probe> probes(std::size_t count) {
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 0.1);
  std::normal_distribution<double> g(0.0, 1.0);
  std::vector<Probe> p(count);
  for (Probe& x : p) {
    x.origin = {u(gen), u(gen), u(gen)};
    Vec3 d{g(gen), g(gen), g(gen)};
    x.direction = (1.0 / std::sqrt(dot(d, d))) * d;
  }
  return p;
}

constexpr double CELL = 0.1 / 64;  // the example's cell size at 64^3 nodes (m): about one step of a fast particle

enum class Query { RAY, ANY_RAY, SEGMENT, RAY_FULL_SCAN };

template <Query Kind>
void BM_FirstHit(benchmark::State& state) {
  const SceneTriangles scene = buildSceneTriangles(spacecraft());
  const std::vector<Probe> p = probes(4096);
  std::size_t q = 0, hits = 0, queries = 0;
  for (auto _ : state) {
    const Probe& x = p[q];
    bool hit = false;
    if constexpr (Kind == Query::RAY) hit = firstHitRay(scene, x.origin, x.direction).has_value();
    if constexpr (Kind == Query::ANY_RAY) hit = anyHitRay(scene, x.origin, x.direction);
    if constexpr (Kind == Query::SEGMENT) hit = firstHitSegment(scene, x.origin, x.origin + CELL * x.direction).has_value();
    if constexpr (Kind == Query::RAY_FULL_SCAN)
      hit = firstHitFullScan(scene, x.origin, x.direction, INFINITY).has_value();
    benchmark::DoNotOptimize(hit);
    hits += hit;
    ++queries;
    q = (q + 1) & (p.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["hit_fraction"] = static_cast<double>(hits) / static_cast<double>(queries);
}
BENCHMARK(BM_FirstHit<Query::RAY>)->Name("FirstHitRay");
BENCHMARK(BM_FirstHit<Query::ANY_RAY>)->Name("AnyHitRay");
BENCHMARK(BM_FirstHit<Query::SEGMENT>)->Name("FirstHitSegmentOneCell");
BENCHMARK(BM_FirstHit<Query::RAY_FULL_SCAN>)->Name("FirstHitRayFullScan")->Unit(benchmark::kMicrosecond);

// Tree and full scan over the same 4096 rays and one-cell segments: any
// difference stops the benchmark.
void BM_FirstHitAgree(benchmark::State& state) {
  const SceneTriangles scene = buildSceneTriangles(spacecraft());
  const auto same = [](const std::optional<SurfaceHit>& a, const std::optional<SurfaceHit>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->object == b->object && a->triangle == b->triangle && a->t == b->t));
  };
  for (auto _ : state)
    for (const Probe& x : probes(4096)) {
      const Vec3 end = x.origin + CELL * x.direction;
      if (!same(firstHitRay(scene, x.origin, x.direction), firstHitFullScan(scene, x.origin, x.direction, INFINITY)) ||
          !same(firstHitSegment(scene, x.origin, end), firstHitFullScan(scene, x.origin, end - x.origin, 1.0)))
        state.SkipWithError("tree and full-scan results differ");
    }
}
BENCHMARK(BM_FirstHitAgree)->Iterations(1)->Unit(benchmark::kMillisecond);

// The set-up cost: collecting the scene's triangles and building the tree.
void BM_BuildSceneTriangles(benchmark::State& state) {
  const std::vector<AmfObject>& objects = spacecraft();
  std::size_t nodes = 0;
  for (auto _ : state) nodes = buildSceneTriangles(objects).tree.nodes.size();
  state.counters["nodes"] = static_cast<double>(nodes);
}
BENCHMARK(BM_BuildSceneTriangles)->Unit(benchmark::kMillisecond);

// The example's sun: low over the x-y plane, so that the electrodes and
// magnets shade parts of the body.
const Vec3 SUN{1.0, 0.3, 0.2};

// The set-up: outward normals, lit triangles and which of them are fully lit.
void BM_FindSunlitTriangles(benchmark::State& state) {
  const std::vector<AmfObject>& objects = spacecraft();
  const SceneTriangles scene = buildSceneTriangles(objects);
  Illumination light;
  for (auto _ : state) light = findSunlitTriangles(objects, scene, SUN);
  std::size_t fully_lit = 0;
  for (const SunlitTriangle& t : light.triangles) fully_lit += t.fully_lit;
  state.counters["lit_triangles"] = static_cast<double>(light.triangles.size());
  state.counters["fully_lit"] = static_cast<double>(fully_lit);
}
BENCHMARK(BM_FindSunlitTriangles)->Unit(benchmark::kMillisecond);

// inShadow for uniform points on the lit area (triangles drawn by area, as
// emission draws them), and for points on the triangles that need a ray only.
template <bool ONLY_RAYS>
void BM_InShadow(benchmark::State& state) {
  const std::vector<AmfObject>& objects = spacecraft();
  const SceneTriangles scene = buildSceneTriangles(objects);
  const Illumination light = findSunlitTriangles(objects, scene, SUN);
  std::vector<double> weights;
  for (const SunlitTriangle& t : light.triangles) weights.push_back(ONLY_RAYS && t.fully_lit ? 0.0 : t.area * t.cos_theta);
  std::mt19937 gen(5);
  std::discrete_distribution<std::size_t> pick(weights.begin(), weights.end());
  std::uniform_real_distribution<double> u(0.0, 1.0);
  struct Draw {
    std::size_t lit;
    Vec3 point;
  };
  std::vector<Draw> draws(4096);
  for (Draw& d : draws) {
    d.lit = pick(gen);
    const SunlitTriangle& t = light.triangles[d.lit];
    d.point = pointOnTriangle(objects[static_cast<std::size_t>(t.object)].triangles[static_cast<std::size_t>(t.triangle)],
                              u(gen), u(gen));
  }
  std::size_t q = 0, shadowed = 0, queries = 0;
  for (auto _ : state) {
    const bool s = inShadow(scene, light, light.triangles[draws[q].lit], draws[q].point);
    benchmark::DoNotOptimize(s);
    shadowed += s;
    ++queries;
    q = (q + 1) & (draws.size() - 1);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["shadowed_fraction"] = static_cast<double>(shadowed) / static_cast<double>(queries);
}
BENCHMARK(BM_InShadow<false>)->Name("InShadowLitArea");
BENCHMARK(BM_InShadow<true>)->Name("InShadowNotFullyLit");

// One step of photoemission from the spacecraft scene on 64^3 cells over its
// 10 cm box: draws, shadow rays, velocities and the new particles' placing.
// The argument is the photoelectrons emitted per step on average (the
// current set to give it at a weight of 1): the cost per photoelectron.
void BM_EmitPhotoelectrons(benchmark::State& state) {
  const std::vector<AmfObject>& objects = spacecraft();
  const SceneTriangles scene = buildSceneTriangles(objects);
  World world(65, 65, 65);
  world.grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  world.dt = 1e-9;
  const ClearCells clear = findClearCells(world.grid, objects, 2);
  const ObjectVeto veto{objects, &clear};
  Photoemission photo;
  photo.light = findSunlitTriangles(objects, scene, SUN);
  double seen = 0.0;  // m^2, the lit area as the sun sees it
  for (const SunlitTriangle& t : photo.light.triangles) seen += t.area * t.cos_theta;
  const double per_step = static_cast<double>(state.range(0));
  photo.current.assign(objects.size(), per_step * QE / (seen * world.dt));
  Species emitted("e-emitted", 9.10938215e-31, -QE, 1.0, world);
  std::vector<double> charge(objects.size(), 0.0);
  int32_t step = 0;
  for (auto _ : state) {
    emitted.particles.clear();
    emitPhotoelectrons(emitted, photo, scene, objects, veto, 1, ++step, charge);
  }
  state.counters["emitted_per_step"] = static_cast<double>(emitted.particles.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EmitPhotoelectrons)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
