#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "geometry/containment.h"
#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/meshCells.h"
#include "particles/push.h"

namespace {

Particle at(Vec3 pos, Vec3 vel, double weight = 1.0) { return Particle{pos, vel, 0.0, weight}; }

TEST(Advance, ZeroFieldMovesByVelocityTimesDt) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 0.5);
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {at({1, 1, 1}, {1, -0.5, 0.25}), at({2.5, 3.5, 0.5}, {0, 0, 0})};
  advance(s, 2);
  ASSERT_EQ(s.particles.size(), 2u);
  EXPECT_EQ(s.particles[0].pos, (Vec3{1.5, 0.75, 1.125}));
  EXPECT_EQ(s.particles[0].vel, (Vec3{1, -0.5, 0.25}));
  EXPECT_EQ(s.particles[1].pos, (Vec3{2.5, 3.5, 0.5}));
  for (const Particle& p : s.particles) EXPECT_EQ(p.pending_time, 0.0);
}

TEST(Advance, UniformFieldAcceleratesThenMovesWithTheNewVelocity) {
  World w(5, 5, 5);
  const double dt = 1e-9;
  setUpCube(w, 0.0, 0.04, dt);
  const double e = 250.0;  // V/m along x
  for (Vec3& f : w.ef.data) f = {e, 0, 0};
  Species s("e-", ME, -QE, 50, w);
  s.particles = {at({0.02, 0.02, 0.02}, {1e4, 0, 0})};
  const double k = -QE * dt / ME;
  double vx = 1e4, x = 0.02;
  for (int step = 0; step < 3; ++step) {
    advance(s, 1);
    vx = vx + k * e;
    x = x + dt * vx;
    ASSERT_EQ(s.particles.size(), 1u);
    EXPECT_EQ(s.particles[0].vel.x, vx) << step;
    EXPECT_EQ(s.particles[0].pos.x, x) << step;
  }
}

TEST(Advance, RemovesParticlesThatLeaveTheMesh) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1.0);
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {
      at({3, 2, 2}, {1, 0, 0}),    // lands exactly on xm: removed
      at({1, 2, 2}, {-1, 0, 0}),   // lands exactly on x0: stays
      at({2, 2, 2}, {0, 0, -3}),   // leaves through z = x0
      at({2, 2, 2}, {0, 1e308, 0}),
  };
  advance(s, 2);
  ASSERT_EQ(s.particles.size(), 1u);
  EXPECT_EQ(s.particles[0].pos, (Vec3{0, 2, 2}));
}

TEST(Advance, EmptySpeciesAndAllDeadSpecies) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1.0);
  Species s("O+", 16 * AMU, QE, 50, w);
  advance(s, 60);
  EXPECT_TRUE(s.particles.empty());
  s.particles = {at({1, 1, 1}, {10, 0, 0}), at({2, 2, 2}, {0, 10, 0})};
  advance(s, 60);
  EXPECT_TRUE(s.particles.empty());
  EXPECT_GE(s.particles.capacity(), 2u);
}

TEST(RemoveDeadParticles, TheLastLiveParticlesFillTheHoles) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::vector<double> weights;  // particle q carries x = q + 1 to identify it
    std::vector<double> kept;     // x of the survivors, in list order
  } cases[] = {
      {{0, 1, 0, 1, 1}, {5, 2, 4}},  // [P1..P5], P1 and P3 dead
      {{1, 1, 1}, {1, 2, 3}},
      {{0, 0, 0}, {}},
      {{1, -1, nan, 1}, {1, 4}},
      {{0, 1, 1, 0}, {3, 2}},  // the dead last particle is copied over P1 and examined again
      {{}, {}},
  };
  for (const Case& c : cases) {
    std::vector<Particle> list;
    for (std::size_t q = 0; q < c.weights.size(); ++q) list.push_back(at({q + 1.0, 0, 0}, {}, c.weights[q]));
    removeDeadParticles(list);
    std::vector<double> kept;
    for (const Particle& p : list) kept.push_back(p.pos.x);
    EXPECT_EQ(kept, c.kept);
  }
}

TEST(Advance, ResultsDoNotDependOnTheTeamSize) {
  World w(9, 9, 9);
  setUpCube(w, 0.0, 1.0, 1e-3);
  for (std::size_t q = 0; q < w.ef.size(); ++q)
    w.ef.data[q] = {std::sin(0.1 * q), std::cos(0.07 * q), 0.3 - 0.001 * q};
  std::vector<Particle> start;
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int q = 0; q < 5000; ++q)
    start.push_back(at({u(gen), u(gen), u(gen)}, {u(gen) - 0.5, 40 * (u(gen) - 0.5), u(gen) - 0.5}));
  std::vector<std::vector<Particle>> results;
  for (uint32_t team : {1u, 2u, 60u}) {
    Species s("O+", 1.0, 1.0, 1, w);
    s.particles = start;
    for (int step = 0; step < 5; ++step) advance(s, team);
    results.push_back(s.particles);
  }
  ASSERT_LT(results[0].size(), start.size());  // some particles left the mesh
  ASSERT_GT(results[0].size(), 0u);
  for (std::size_t r = 1; r < results.size(); ++r) {
    ASSERT_EQ(results[r].size(), results[0].size());
    EXPECT_EQ(std::memcmp(results[r].data(), results[0].data(), results[0].size() * sizeof(Particle)), 0);
  }
}

// A closed axis-aligned cube [lo, hi]^3 as twelve triangles.
AmfObject cubeObject(double lo, double hi) {
  AmfObject o;
  o.name = "Body";
  for (int q = 0; q < 8; ++q) o.vertices.push_back({q & 1 ? hi : lo, q & 2 ? hi : lo, q & 4 ? hi : lo});
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    const Vec3* v = o.vertices.data();
    o.triangles.push_back({v[f[0]], v[f[1]], v[f[2]]});
    o.triangles.push_back({v[f[0]], v[f[2]], v[f[3]]});
  }
  o.bbox_min = {lo, lo, lo};
  o.bbox_max = {hi, hi, hi};
  return o;
}

TEST(Advance, AParticleThatEntersAnObjectIsRemovedInTheSameCall) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1.0);
  w.objects.push_back(cubeObject(1.5, 2.5));
  if (findContainingObjectIndex(w, {2.01, 1.97, 2.03}) < 0) GTEST_SKIP() << "no containment query in this build";
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {at({0.51, 1.97, 2.03}, {1.5, 0, 0}), at({0.5, 0.5, 0.5}, {0.5, 0, 0})};
  advance(s, 2);
  ASSERT_EQ(s.particles.size(), 1u);
  EXPECT_EQ(s.particles[0].pos, (Vec3{1.0, 0.5, 0.5}));
}

}  // namespace

namespace {

// The push tests each position against per-axis limits found once per call;
// they must accept exactly the positions that addParticle accepts.
TEST(MeshCellLimits, AcceptExactlyThePositionsOfTheExactTest) {
  struct Mesh {
    int n;
    double lo, hi;
  } meshes[] = {{4, 0.0, 1.0}, {7, -0.1, 0.5}, {64, 0.0, 1.0}, {5, 1e6, 1e6 + 1e-6}, {3, -2.0, -1.0}};
  std::mt19937 gen(17);
  for (const Mesh& m : meshes) {
    World w(m.n, m.n, m.n);
    setUpCube(w, m.lo, m.hi);
    const MeshCellLimits limits = meshCellLimits(w);
    std::vector<double> coords = {m.lo, m.hi, std::nextafter(m.hi, m.lo), limits.hi.x,
                                  std::nextafter(limits.hi.x, m.hi), std::nextafter(m.lo, m.hi - 1e9)};
    std::uniform_int_distribution<int> ulps(0, 40);
    for (int q = 0; q < 200; ++q) {
      double c = m.hi;
      for (int u = ulps(gen); u > 0; --u) c = std::nextafter(c, m.lo);
      coords.push_back(c);
      coords.push_back(m.lo + (m.hi - m.lo) * std::uniform_real_distribution<double>(0.0, 1.0)(gen));
    }
    for (double c : coords)
      for (const Vec3& p : {Vec3{c, 0.5 * (m.lo + m.hi), m.lo}, Vec3{m.lo, m.lo, c}})
        ASSERT_EQ(insideLimits(limits, p), insideMeshCells(w, p)) << m.n << " " << m.lo << " " << c;
  }
  World inverted(5, 5, 5);
  inverted.setExtents({1, 1, 1}, {0, 0, 0});
  const MeshCellLimits none = meshCellLimits(inverted);
  EXPECT_FALSE(insideLimits(none, {0.5, 0.5, 0.5}));
}

}  // namespace
