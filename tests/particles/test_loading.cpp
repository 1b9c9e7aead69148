#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/loading.h"
#include "particles/random.h"

namespace {

TEST(Random, ReplaysTheStandardUniformDistributionAfterReseeding) {
  seedRandomForTesting(12345);
  std::mt19937 reference(12345);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int q = 0; q < 1000; ++q) {
    const double r = rnd();
    ASSERT_EQ(r, unit(reference)) << "draw " << q;
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(Species, StartsEmptyWithZeroFieldsAndSurvivesAMove) {
  World w(4, 5, 6);
  setUpCube(w, 0.0, 1.0);
  std::vector<Species> list;
  list.reserve(1);
  list.emplace_back("O+", 16 * AMU, QE, 50, w);
  Species& s = list[0];
  EXPECT_EQ(s.mpw0, 50.0);
  EXPECT_TRUE(s.particles.empty());
  for (const Field* f : {&s.den, &s.den_prev}) {
    EXPECT_EQ(f->size(), 120u);
    for (double v : f->data) EXPECT_EQ(v, 0.0);
  }
  for (const VectorField* f : {&s.vel, &s.j}) {
    EXPECT_EQ(f->nk, 6);
    for (const Vec3& v : f->data) EXPECT_EQ(v, Vec3{});
  }
  s.particles.push_back({{0.1, 0.2, 0.3}, {1, 2, 3}, 0.0, 50.0});
  s.den(1, 2, 3) = 7.0;
  list.emplace_back("e-", ME, -QE, 50, w);  // full list: the first species moves
  EXPECT_EQ(list[0].name, "O+");
  ASSERT_EQ(list[0].particles.size(), 1u);
  EXPECT_EQ(list[0].particles[0].vel, (Vec3{1, 2, 3}));
  EXPECT_EQ(list[0].den(1, 2, 3), 7.0);
  EXPECT_EQ(list[1].world, &w);
}

struct AddCase {
  const char* what;
  Vec3 pos;
  bool stored;
};

TEST(AddParticle, KeepsExactlyThePositionsInsideTheMeshCells) {
  World w(4, 4, 4);
  setUpCube(w, 0.0, 1.0);
  const double below_one = std::nextafter(1.0, 0.0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const AddCase cases[] = {
      {"lower corner x0", {0, 0, 0}, true},
      {"interior", {0.5, 0.25, 0.75}, true},
      {"upper corner xm", {1, 1, 1}, false},
      {"on the upper face along y only", {0.5, 1.0, 0.5}, false},
      {"below x0", {-1e-12, 0.5, 0.5}, false},
      {"NaN coordinate", {0.5, nan, 0.5}, false},
      // Maps to logical coordinate 3.0, the last node: its cell lies off the mesh.
      {"one rounding step below xm", {below_one, 0.5, 0.5}, false},
  };
  for (const AddCase& c : cases) {
    Species s("e-", ME, -QE, 50, w);
    addParticle(s, c.pos, {1, 2, 3}, 7.0);
    ASSERT_EQ(s.particles.size(), c.stored ? 1u : 0u) << c.what;
    if (!c.stored) continue;
    const Particle& p = s.particles[0];
    EXPECT_EQ(p.pos, c.pos) << c.what;
    EXPECT_EQ(p.vel, (Vec3{1, 2, 3})) << c.what << ": ef is zero, so no half-step shift";
    EXPECT_EQ(p.pending_time, 0.0);
    EXPECT_EQ(p.weight, 7.0);
  }
}

TEST(AddParticle, SetsTheVelocityBackHalfAStepInTheLocalField) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 0.04, 1e-11);
  for (Vec3& e : w.ef.data) e = {1000.0, -2000.0, 0.0};  // V/m
  Species s("e-", ME, -QE, 50, w);
  addParticle(s, {0.01, 0.02, 0.0}, {10.0, 0.0, 0.0}, 50.0);  // on a node: E exact
  ASSERT_EQ(s.particles.size(), 1u);
  const double k = (-QE / ME) * (0.5 * 1e-11);
  EXPECT_EQ(s.particles[0].vel.x, 10.0 - k * 1000.0);
  EXPECT_EQ(s.particles[0].vel.y, 0.0 - k * -2000.0);
  EXPECT_EQ(s.particles[0].vel.z, 0.0);
}

struct LoadCase {
  const char* what;
  Vec3 x1, x2;
  double num_den;  // m^-3
  std::size_t count;
  const char* line;
};

TEST(LoadParticlesBox, CreatesCeilOfTheMacroParticleCountAndPrintsIt) {
  // mpw0 = 1 so the density times the volume is the macro-particle count.
  const LoadCase cases[] = {
      {"2.5 particles", {0, 0, 0}, {1, 1, 0.5}, 5.0, 3, "1 2.5 2.5\n"},
      {"exactly 3", {0, 0, 0}, {1, 1, 1}, 3.0, 3, "1 3 3\n"},
      {"none", {0, 0, 0}, {1, 1, 1}, 0.0, 0, "1 0 0\n"},
      {"negative density", {0, 0, 0}, {1, 1, 1}, -4.0, 0, "1 -4 -4\n"},
      {"corners reversed along x", {1, 0, 0}, {0, 1, 1}, 3.0, 3, "1 3 3\n"},
      {"corners reversed along all axes", {1, 1, 1}, {0, 0, 0.5}, 5.0, 3, "1 2.5 2.5\n"},
  };
  World w(5, 5, 5);
  setUpCube(w, 0.0, 1.0);
  for (const LoadCase& c : cases) {
    Species s("O+", 16 * AMU, QE, 1, w);
    CoutCapture out;
    loadParticlesBox(s, c.x1, c.x2, c.num_den);
    EXPECT_EQ(out.str(), c.line) << c.what;
    ASSERT_EQ(s.particles.size(), c.count) << c.what;
    for (const Particle& p : s.particles) {
      for (int d = 0; d < 3; ++d) {
        EXPECT_GE(p.pos[d], std::min(c.x1[d], c.x2[d])) << c.what;
        EXPECT_LE(p.pos[d], std::max(c.x1[d], c.x2[d])) << c.what;
      }
      EXPECT_EQ(p.weight, 1.0);
    }
  }
}

TEST(LoadParticlesBox, FillsAUnitBoxWithParticlesAtRestInDrawOrder) {
  World w(11, 11, 11);
  setUpCube(w, -0.5, 1.5);
  Species s("e-", ME, -QE, 50, w);
  seedRandomForTesting(7);
  std::mt19937 reference(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  CoutCapture out;
  loadParticlesBox(s, {0, 0, 0}, {1, 1, 1}, 5e5);
  EXPECT_EQ(out.str(), "50 10000 500000\n");
  ASSERT_EQ(s.particles.size(), 10000u);
  for (const Particle& p : s.particles) {
    const double x = unit(reference), y = unit(reference), z = unit(reference);
    ASSERT_EQ(p.pos, (Vec3{x, y, z}));
    ASSERT_EQ(p.vel, Vec3{});
    ASSERT_EQ(p.weight, 50.0);
  }
}

TEST(LoadParticlesBox, RefusesCountsThatCannotBeStoredBeforeAllocating) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 1.0);
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double num_den;
    const char* phrase;
  } cases[] = {
      {1e15, "memory"},            // 1e15 macro-particles: 64 PB
      {1e19, "particle list can hold"},
      {inf, "not a finite number"},
      {-inf, "not a finite number"},
      {std::numeric_limits<double>::quiet_NaN(), "not a finite number"},
  };
  for (const Case& c : cases) {
    Species s("e-", ME, -QE, 1, w);
    CoutCapture out;
    try {
      loadParticlesBox(s, {0, 0, 0}, {1, 1, 1}, c.num_den);
      ADD_FAILURE() << c.num_den << " did not throw";
    } catch (const std::exception& e) {
      const std::string m = e.what();
      EXPECT_NE(m.find("loadParticlesBox"), std::string::npos) << m;
      EXPECT_NE(m.find("\"e-\""), std::string::npos) << m;
      EXPECT_NE(m.find(c.phrase), std::string::npos) << m;
    }
    EXPECT_EQ(s.particles.capacity(), 0u);
  }
}

}  // namespace
