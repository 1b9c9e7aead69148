#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/loading.h"
#include "particles/random.h"

namespace {

TEST(AddParticle, KeepsExactlyThePositionsInsideTheMeshCells) {
  World w(4, 4, 4);
  setUpCube(w, 0.0, 1.0);
  const struct {
    const char* what;
    Vec3 pos;
    bool stored;
  } cases[] = {
      {"lower corner x0", {0, 0, 0}, true},
      {"upper corner xm", {1, 1, 1}, false},
      {"on the upper face along y only", {0.5, 1.0, 0.5}, false},
      {"NaN coordinate", {0.5, NAN, 0.5}, false},
      // Maps to logical coordinate 3.0, the last node: its cell lies off the mesh.
      {"one rounding step below xm", {std::nextafter(1.0, 0.0), 0.5, 0.5}, false},
  };
  for (const auto& c : cases) {
    Species s("e-", ME, -QE, 50, w);
    addParticle(s, c.pos, {1, 2, 3}, 7.0);
    ASSERT_EQ(s.particles.size(), c.stored ? 1u : 0u) << c.what;
    if (c.stored) {
      EXPECT_EQ(s.particles[0].pos, c.pos) << c.what;
    }
  }
  // In a field the velocity is set back half a step.
  setUpCube(w, 0.0, 0.03, 1e-11);
  for (Vec3& e : w.ef.data) e = {1000.0, -2000.0, 0.0};  // V/m
  Species s("e-", ME, -QE, 50, w);
  addParticle(s, {0.01, 0.02, 0.0}, {10.0, 0.0, 0.0}, 50.0);  // on a node: E exact
  const double k = (-QE / ME) * (0.5 * 1e-11);
  EXPECT_EQ(s.particles.at(0).vel, (Vec3{10.0 - k * 1000.0, 0.0 - k * -2000.0, 0.0}));
  EXPECT_EQ(s.particles[0].weight, 50.0);
}

TEST(LoadParticlesBox, CreatesCeilOfTheMacroParticleCountAndPrintsIt) {
  // mpw0 = 1, so density times volume is the macro-particle count.
  const struct {
    const char* what;
    Vec3 x1, x2;
    double num_den;  // m^-3
    std::size_t count;
    const char* line;
  } cases[] = {
      {"2.5 particles", {0, 0, 0}, {1, 1, 0.5}, 5.0, 3, "1 2.5 2.5\n"},
      {"exactly 3", {0, 0, 0}, {1, 1, 1}, 3.0, 3, "1 3 3\n"},
      {"none", {0, 0, 0}, {1, 1, 1}, 0.0, 0, "1 0 0\n"},
      {"negative density", {0, 0, 0}, {1, 1, 1}, -4.0, 0, "1 -4 -4\n"},
      {"corners reversed along all axes", {1, 1, 1}, {0, 0, 0.5}, 5.0, 3, "1 2.5 2.5\n"},
  };
  World w(5, 5, 5);
  setUpCube(w, 0.0, 1.0);
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 1, w);
    testing::internal::CaptureStdout();
    loadParticlesBox(s, c.x1, c.x2, c.num_den);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.line) << c.what;
    ASSERT_EQ(s.particles.size(), c.count) << c.what;
    for (const Particle& p : s.particles)
      for (int d = 0; d < 3; ++d) {
        EXPECT_GE(p.pos[d], std::min(c.x1[d], c.x2[d])) << c.what;
        EXPECT_LE(p.pos[d], std::max(c.x1[d], c.x2[d])) << c.what;
      }
  }
}

TEST(LoadParticlesBox, FillsTheBoxWithParticlesAtRestInDrawOrder) {
  World w(11, 11, 11);
  setUpCube(w, -0.5, 1.5);
  Species s("e-", ME, -QE, 50, w);
  seedRandomForTesting(7);
  std::mt19937 reference(7);  // the process-wide generator is a seeded mt19937
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  testing::internal::CaptureStdout();
  loadParticlesBox(s, {0, 0, 0}, {1, 1, 1}, 5e5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "50 10000 500000\n");
  ASSERT_EQ(s.particles.size(), 10000u);
  for (const Particle& p : s.particles) {
    const double x = unit(reference), y = unit(reference), z = unit(reference);
    ASSERT_EQ(p.pos, (Vec3{x, y, z}));
    ASSERT_EQ(p.vel, Vec3{});
  }
}

TEST(LoadParticlesBox, RefusesCountsThatCannotBeStoredBeforeAllocating) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 1.0);
  const struct {
    double num_den;
    const char* phrase;
  } cases[] = {
      {1e15, "memory"},  // 1e15 macro-particles: 64 PB
      {1e19, "particle list can hold"},
      {NAN, "not a finite number"},
  };
  for (const auto& c : cases) {
    Species s("e-", ME, -QE, 1, w);
    testing::internal::CaptureStdout();
    try {
      loadParticlesBox(s, {0, 0, 0}, {1, 1, 1}, c.num_den);
      ADD_FAILURE() << c.num_den << " did not throw";
    } catch (const std::exception& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find("loadParticlesBox"), std::string::npos) << m;
      EXPECT_NE(m.find("\"e-\""), std::string::npos) << m;
      EXPECT_NE(m.find(c.phrase), std::string::npos) << m;
    }
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(s.particles.capacity(), 0u);
  }
}

}  // namespace
