// The particle phase of one time step: advance plus computeGasProperties,
// reported as ns per particle per step (the "per_particle" counter). For 10^6
// particles at rest on a 64^3 mesh: on an empty mesh, each half alone, and
// with every particle inside the box of a 20,000-triangle sphere; for the
// particles of the reference case; for the thermal plasma of
// bench/thermal_case.sh; and for two species spread around a body and two
// electrodes.
// Figures and bounds: bench/README.md.
#include <benchmark/benchmark.h>
#include <omp.h>

#include <cmath>
#include <random>
#include <span>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/buildObjectBvh.h"
#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "mesh/constants.h"
#include "mesh/World.h"
#include "particles/Species.h"
#include "particles/deposition.h"
#include "particles/push.h"
#include "particles/maxwellian.h"
#include "particles/random.h"
#include "tests/geometry/testMeshes.h"

using namespace plasmabox;

namespace {

constexpr int N = 64;                       // nodes per axis
constexpr std::size_t NUM_PARTICLES = 1000000;

// UV sphere of the given centre and radius (m): rings x segments quads split in
// two, the pole rows as single triangles: 2 * segments * (rings - 1) triangles.
AmfObject uvSphere(const Vec3& c, double r, int rings, int segments) {
  AmfObject o;
  o.name = "Body";
  const double pi = std::acos(-1.0);
  o.vertices.push_back({c.x, c.y, c.z + r});  // north pole
  for (int a = 1; a < rings; ++a) {
    const double theta = pi * a / rings;
    for (int b = 0; b < segments; ++b) {
      const double phi = 2 * pi * b / segments;
      o.vertices.push_back({c.x + r * std::sin(theta) * std::cos(phi), c.y + r * std::sin(theta) * std::sin(phi),
                            c.z + r * std::cos(theta)});
    }
  }
  o.vertices.push_back({c.x, c.y, c.z - r});  // south pole
  const int south = static_cast<int>(o.vertices.size()) - 1;
  auto ring = [&](int a, int b) { return 1 + (a - 1) * segments + (b % segments); };
  auto add = [&](int p, int q, int s) { o.triangles.push_back({o.vertices[p], o.vertices[q], o.vertices[s]}); };
  for (int b = 0; b < segments; ++b) {
    add(0, ring(1, b), ring(1, b + 1));
    for (int a = 1; a < rings - 1; ++a) {
      add(ring(a, b), ring(a + 1, b), ring(a + 1, b + 1));
      add(ring(a, b), ring(a + 1, b + 1), ring(a, b + 1));
    }
    add(south, ring(rings - 1, b + 1), ring(rings - 1, b));
  }
  o.bbox_min = o.bbox_max = o.vertices[0];
  for (const Vec3& v : o.vertices)
    for (int d = 0; d < 3; ++d) {
      o.bbox_min[d] = std::min(o.bbox_min[d], v[d]);
      o.bbox_max[d] = std::max(o.bbox_max[d], v[d]);
    }
  o.bvh = buildObjectBvh(o);
  return o;
}

// Particles at rest, uniform in [lo, hi)^3 (m).
std::vector<Particle> particlesIn(double lo, double hi) {
  std::mt19937 gen(1);
  std::uniform_real_distribution<double> u(lo, hi);
  std::vector<Particle> list(NUM_PARTICLES);
  for (Particle& p : list) p = {{u(gen), u(gen), u(gen)}, {}, 50.0};
  return list;
}

// What one timed iteration runs.
enum class Phase { BOTH, ADVANCE, DEPOSITION };

// Benchmark argument: the team size (0: one thread per processor). The list
// is put in its tiles before each iteration, untimed (particles absorbed by
// the object come back).
void runSteps(benchmark::State& state, World& world, std::span<const AmfObject> objects,
              const std::vector<Particle>& start, Phase phase = Phase::BOTH) {
  const int team = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  Species ions("O+", 16 * AMU, QE, 50, world);
  const ClearCells clear = findClearCells(world.grid, objects, team);  // as the program does after marking
  for (auto _ : state) {
    state.PauseTiming();
    ions.particles.assign(start);
    placeAppended(ions.particles, world.grid);
    state.ResumeTiming();
    if (phase != Phase::DEPOSITION) advance(ions, objects, clear, team);
    if (phase != Phase::ADVANCE) computeGasProperties(ions, team);
    benchmark::DoNotOptimize(ions.den.data.data());
  }
  state.counters["team"] = team;
  state.counters["survivors"] = static_cast<double>(ions.particles.size());
  state.counters["per_particle"] = benchmark::Counter(
      static_cast<double>(NUM_PARTICLES) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void setUpWorld(World& world) {
  world.grid.setExtents({0, 0, 0}, {1, 1, 1});
  world.dt = 1e-11;
  for (Vec3& e : world.ef.data) e = {10.0, -5.0, 2.0};  // V/m: moves ions by ~1e-12 m per step
}

void BM_ParticleStepNoObjects(benchmark::State& state) {
  World world(N, N, N);
  setUpWorld(world);
  runSteps(state, world, {}, particlesIn(0.0, 1.0));
}
BENCHMARK(BM_ParticleStepNoObjects)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The two halves of the step on their own, for the profile of the step.
void BM_AdvanceOnly(benchmark::State& state) {
  World world(N, N, N);
  setUpWorld(world);
  runSteps(state, world, {}, particlesIn(0.0, 1.0), Phase::ADVANCE);
}
BENCHMARK(BM_AdvanceOnly)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_DepositionOnly(benchmark::State& state) {
  World world(N, N, N);
  setUpWorld(world);
  runSteps(state, world, {}, particlesIn(0.0, 1.0), Phase::DEPOSITION);
}
BENCHMARK(BM_DepositionOnly)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ParticleStepInSphereBox(benchmark::State& state) {
  World world(N, N, N);
  setUpWorld(world);
  const std::vector<AmfObject> objects{uvSphere({0.5, 0.5, 0.5}, 0.25, 101, 100)};
  state.counters["triangles"] = static_cast<double>(objects[0].triangles.size());
  state.counters["indexed"] = bvhMatches(objects[0]) ? 1 : 0;  // 1: the query uses the ray index
  runSteps(state, world, objects, particlesIn(0.25, 0.75));
}
BENCHMARK(BM_ParticleStepInSphereBox)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The particles of the reference case (bench/reference_case.sh) without the
// rest of the program: 64^3 nodes over a 10 cm box, 10^6 particles of one
// species at rest in the slab 4 to 14 mm from the x = 0 wall, in a weak
// field, as the program moves and deposits them (the deposition of both
// moments begun by the push). Arguments: team, tile edge (cells).
void BM_ParticleStepSlab(benchmark::State& state) {
  const int team = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  World world(N, N, N);
  world.grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  world.dt = 1e-11;
  for (Vec3& e : world.ef.data) e = {10.0, -5.0, 2.0};  // V/m
  Species electrons("e-", ME, -QE, 50, world);
  electrons.particles = ParticleList(tileGrid(world.grid, static_cast<int32_t>(state.range(1))));
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> x(0.004, 0.014), yz(0.02, 0.08);
  std::vector<Particle> start(NUM_PARTICLES);
  for (Particle& p : start) p = {{x(gen), yz(gen), yz(gen)}, {}, 50.0};
  electrons.particles.assign(start);
  computeGasProperties(electrons, team);  // puts them in their tiles
  for (auto _ : state) {
    advance(electrons, {}, {}, team, false, nullptr, Moments::FULL);
    computeGasProperties(electrons, team, Moments::FULL);
  }
  state.counters["team"] = team;
  state.counters["edge"] = static_cast<double>(electrons.particles.tiles.edge);
  state.counters["per_particle"] = benchmark::Counter(
      static_cast<double>(NUM_PARTICLES) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParticleStepSlab)->ArgsProduct({{1, 0}, {4, 8}})->Unit(benchmark::kMillisecond)->UseRealTime();

// The thermal plasma of bench/thermal_case.sh without the field solve: 65^3
// nodes over a 0.48 m box, 2^20 electrons and 2^20 O+ at 1 eV loaded over the
// whole box (about four of each per cell), dt = 1.773e-9 s (the electrons
// cross 0.1 cell per step), in a weak field that varies from node to node.
// One iteration is one step of both species as the program runs it between
// outputs (the push deposits the density as it goes, computeGasProperties
// the rest). The loaded lists come back every 20 steps (untimed): the
// electrons leave through the walls at 0.4 % per step. per_particle: ns per
// particle and step. Arguments: team, tile edge (cells), moments (0 density,
// 1 full).
constexpr int THERMAL_NODES = 65;
constexpr int THERMAL_RELOAD = 20;

void BM_ParticleStepThermal(benchmark::State& state) {
  const int team = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  const auto edge = static_cast<int32_t>(state.range(1));
  const Moments moments = state.range(2) != 0 ? Moments::FULL : Moments::DENSITY;
  World world(THERMAL_NODES, THERMAL_NODES, THERMAL_NODES);
  world.grid.setExtents({0, 0, 0}, {0.48, 0.48, 0.48});
  world.dt = 1.773e-9;
  for (std::size_t q = 0; q < world.ef.size(); ++q)
    world.ef.data[q] = {0.05 * std::sin(0.1 * static_cast<double>(q)), 0.02, -0.03};  // V/m
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * AMU, QE, 105468.75, world);
  species.emplace_back("e-", ME, -QE, 105468.75, world);
  std::vector<std::vector<Particle>> loaded;
  seedRandom(1);
  for (Species& s : species) {
    s.particles = ParticleList(tileGrid(world.grid, edge));
    std::vector<Particle> list(std::size_t{1} << 20);
    const double sigma = thermalSpeed(1.0, s.mass);  // m/s
    for (Particle& p : list) {
      p.pos = {0.48 * rnd(), 0.48 * rnd(), 0.48 * rnd()};
      p.vel = maxwellianVelocity(sigma);
      p.weight = s.mpw0;
    }
    loaded.push_back(std::move(list));
  }
  int64_t step = 0;
  double particle_steps = 0.0;
  for (auto _ : state) {
    if (step % THERMAL_RELOAD == 0) {
      state.PauseTiming();
      for (std::size_t n = 0; n < species.size(); ++n) {
        species[n].particles.assign(loaded[n]);
        computeGasProperties(species[n], team, moments);
      }
      state.ResumeTiming();
    }
    for (Species& s : species) {
      particle_steps += static_cast<double>(s.particles.size());
      advance(s, {}, {}, team, true, nullptr, moments);
      computeGasProperties(s, team, moments);
    }
    ++step;
  }
  state.counters["team"] = team;
  state.counters["edge"] = static_cast<double>(species[0].particles.tiles.edge);
  state.counters["per_particle"] =
      benchmark::Counter(particle_steps, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParticleStepThermal)
    ->ArgsProduct({{1, 2}, {4, 8, 16}, {0}})
    ->Args({1, 4, 1})
    ->Args({2, 4, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Particles among objects: 41^3 nodes over a 10 cm box, a body of 5,120
// triangles (a sphere of radius 2 cm in the middle) between two electrode rings
// of 512 triangles each, and 240,000 particles of each species spread over
// the 7 cm cube around them (none inside an object; about 60 % inside the
// objects' union box), moving at thermal speeds. One iteration is one step of
// both species, as in the time loop of the induction model.
constexpr int OBJECTS_NODES = 41;
constexpr std::size_t OBJECTS_PARTICLES = 240000;  // per species

std::vector<AmfObject> bodyAndElectrodes() {
  return {toObject(sphereMesh("Body", {0.05, 0.05, 0.05}, 0.02, 4)),
          toObject(ringMesh("electrode1", {0.024, 0.05, 0.05}, 0.024, 0.03, 0.002, 64)),
          toObject(ringMesh("electrode2", {0.076, 0.05, 0.05}, 0.024, 0.03, 0.002, 64))};
}

// Positions uniform in [0.015, 0.085)^3 m outside every object, velocities
// uniform in [-speed, speed) per axis (m/s), in random order.
std::vector<Particle> particlesAround(std::span<const AmfObject> objects, double speed, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> x(0.015, 0.085), v(-speed, speed);
  std::vector<Particle> list;
  list.reserve(OBJECTS_PARTICLES);
  while (list.size() < OBJECTS_PARTICLES) {
    Particle p{};
    p.pos = {x(gen), x(gen), x(gen)};
    p.vel = {v(gen), v(gen), v(gen)};
    p.weight = 50.0;
    if (findContainingObjectIndex(objects, p.pos) < 0) list.push_back(p);
  }
  return list;
}

void BM_ParticleStepAmongObjects(benchmark::State& state) {
  const int team = state.range(0) > 0 ? static_cast<int>(state.range(0)) : omp_get_num_procs();
  World world(OBJECTS_NODES, OBJECTS_NODES, OBJECTS_NODES);
  world.grid.setExtents({0, 0, 0}, {0.1, 0.1, 0.1});
  world.dt = 1e-11;
  for (Vec3& e : world.ef.data) e = {100.0, -50.0, 20.0};  // V/m
  const std::vector<AmfObject> objects = bodyAndElectrodes();
  std::vector<Species> species;
  species.reserve(2);
  species.emplace_back("O+", 16 * AMU, QE, 50, world);
  species.emplace_back("e-", ME, -QE, 50, world);
  species[0].particles.assign(particlesAround(objects, 2e3, 1));
  species[1].particles.assign(particlesAround(objects, 5e5, 2));
  const ClearCells clear = findClearCells(world.grid, objects, team);
  for (auto _ : state) {
    for (Species& s : species) {
      advance(s, objects, clear, team, false, nullptr, Moments::FULL);
      computeGasProperties(s, team, Moments::FULL);
    }
  }
  std::size_t triangles = 0;
  for (const AmfObject& o : objects) triangles += o.triangles.size();
  state.counters["team"] = team;
  state.counters["triangles"] = static_cast<double>(triangles);
  state.counters["survivors"] = static_cast<double>(species[0].particles.size() + species[1].particles.size());
  state.counters["per_particle"] = benchmark::Counter(
      2.0 * static_cast<double>(OBJECTS_PARTICLES) * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ParticleStepAmongObjects)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
