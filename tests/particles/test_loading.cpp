#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/injection.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// A checkpoint keeps the generator as numbers: put back, it draws on
// exactly as it would have; a continuation stream is another one, fixed by
// its seed, process and step.
TEST(RandomState, PutBackItDrawsOnAsBeforeAndContinuationStreamsAreTheirOwn) {
  seedRandom(77);
  for (int n = 0; n < 1000; ++n) rnd();  // inside the generator's block of 624 words
  const std::vector<uint32_t> state = randomState();
  std::vector<double> next;
  for (int n = 0; n < 700; ++n) next.push_back(rnd());  // across a refill of the block
  seedRandom(5);
  setRandomState(state, 77);
  EXPECT_EQ(randomSeed(), 77u);
  for (int n = 0; n < 700; ++n) ASSERT_EQ(rnd(), next[static_cast<std::size_t>(n)]) << n;
  EXPECT_THROW(setRandomState(std::vector<uint32_t>(state.begin(), state.begin() + 600), 77), std::invalid_argument);

  auto firstDraws = [](uint32_t seed, int rank, int size, int32_t step) {
    useContinuationStream(seed, rank, size, step);
    return std::vector<double>{rnd(), rnd(), rnd()};
  };
  const std::vector<double> a = firstDraws(77, 1, 3, 40);
  EXPECT_EQ(firstDraws(77, 1, 3, 40), a);
  EXPECT_NE(firstDraws(77, 1, 3, 41), a);
  EXPECT_NE(firstDraws(77, 0, 3, 40), a);
  useProcessStream(77, 1, 3);
  EXPECT_NE(rnd(), a[0]);
}

TEST(AddParticle, KeepsExactlyThePositionsInsideTheMeshCells) {
  Cube w(4, 0.0, 0.9);
  // On [0, 0.9] with four nodes, one rounding step below xm maps to logical
  // 3.0, the last node: its cell lies off the mesh.
  for (const auto& [pos, stored] : {std::pair{Vec3{0, 0, 0}, true}, {Vec3{0.45, 0.9, 0.45}, false},
                                    {Vec3{0.45, NAN, 0.45}, false}, {Vec3{std::nextafter(0.9, 0.0), 0.45, 0.45}, false},
                                    {Vec3{std::nextafter(std::nextafter(0.9, 0.0), 0.0), 0.45, 0.45}, true}}) {
    Species s("e-", ME, -QE, 50, w);
    addParticle(s, pos, {1, 2, 3}, 7.0);
    EXPECT_EQ(s.particles.size(), stored ? 1u : 0u) << pos.x << " " << pos.y;
  }
  setUpCube(w, 0.0, 0.03, 1e-11);  // in a field the velocity is set back half a step
  for (Vec3& e : w.ef.data) e = {1000.0, -2000.0, 0.0};  // V/m
  Species s("e-", ME, -QE, 50, w);
  addParticle(s, {0.01, 0.02, 0.0}, {10.0, 0.0, 0.0}, 50.0);  // on a node: E exact
  const double k = (-QE / ME) * (0.5 * 1e-11);
  EXPECT_EQ(listOf(s).at(0).vel, (Vec3{10.0 - k * 1000.0, 0.0 - k * -2000.0, 0.0}));
}

// Counts that cannot be stored are refused before allocating, with a message
// naming the species and the count.
TEST(LoadParticlesBox, CreatesCeilOfTheMacroParticleCountAndPrintsIt) {
  const struct {
    const char* what;
    Vec3 x1, x2;
    double num_den;  // m^-3; with mpw0 = 1, density times volume is the macro-particle count
    std::size_t count;
    const char* line;
    const char* refusal;  // the message up to the count, "" when the load succeeds
  } cases[] = {
      {"2.5 particles", {0, 0, 0}, {1, 1, 0.5}, 5.0, 3, "1 2.5 2.5\n", ""},
      {"exactly 3", {0, 0, 0}, {1, 1, 1}, 3.0, 3, "1 3 3\n", ""},
      {"none", {0, 0, 0}, {1, 1, 1}, 0.0, 0, "1 0 0\n", ""},
      {"corners reversed along all axes", {1, 1, 1}, {0, 0, 0.5}, 5.0, 3, "1 2.5 2.5\n", ""},
      {"1e15, which would take 64 PB", {0, 0, 0}, {1, 1, 1}, 1e15, 0, "1 1e+15 1e+15\n",
       "loadParticlesBox: species \"O+\" would need 1e+15"},
      {"NaN", {0, 0, 0}, {1, 1, 1}, NAN, 0, "1 nan nan\n", "loadParticlesBox: species \"O+\" would need nan"},
  };
  Cube w(5, 0.0, 1.0);
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 1, w);
    const Loaded r = loadBox(s, c.x1, c.x2, c.num_den);
    EXPECT_EQ(r.out, c.line) << c.what;
    EXPECT_EQ(r.error.substr(0, r.error.find(" more macro-particles")), c.refusal) << r.error;
    ASSERT_EQ(s.particles.size(), c.count) << c.what;
    EXPECT_TRUE(!*c.refusal || s.particles.pool.capacity() == 0) << c.what;
    for (const Particle& p : listOf(s)) EXPECT_LE(std::fabs(2 * p.pos.z - c.x1.z - c.x2.z), std::fabs(c.x2.z - c.x1.z)) << c.what;
  }
}

TEST(LoadParticlesBox, FillsTheBoxWithParticlesAtRestInDrawOrder) {
  Cube w(11, -0.5, 1.5);
  Species s("e-", ME, -QE, 50, w);
  seedRandom(7);
  std::mt19937 reference(7);  // the process-wide generator is a seeded mt19937
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  EXPECT_EQ(loadBox(s, {0, 0, 0}, {1, 1, 1}, 5e5).out, "50 10000 500000\n");
  ASSERT_EQ(s.particles.size(), 10000u);
  for (const Particle& p : listOf(s)) {
    const double x = unit(reference), y = unit(reference), z = unit(reference);
    ASSERT_EQ(p.pos, (Vec3{x, y, z}));
    ASSERT_EQ(p.vel, Vec3{});
  }
}

// Count: |drift| * density * area * dt / mpw0 plus one uniform draw, truncated
// (16.8 and 11.2 here, so the draw decides); then two position draws per
// particle along the in-plane axes.
TEST(InjectFromPlane, PlacesParticlesOnThePlaneWithTheDriftAlongItsNormal) {
  const struct {
    int dim, fixed_axis, first, second;  // in-plane axes drawn in this order
  } cases[] = {{1, 2, 0, 1}, {2, 0, 1, 2}, {3, 1, 0, 2}};
  Cube w(5, 0.0, 4.0, 0.5);
  const Vec3 x1{0.5, 1.0, 1.5}, x2{3.5, 3.0, 3.5}, d = x2 - x1;
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 0.25, w);
    Source src{&s, &w, -2.0, 0.7};  // |-2 * 0.7| * 0.5 s / 0.25 = 2.8 per m^2
    seedRandom(99);
    std::mt19937 reference(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    injectFromPlane(src, c.dim, x1, x2);
    ASSERT_EQ(s.particles.size(), static_cast<std::size_t>(2.8 * d[c.first] * d[c.second] + unit(reference)));
    for (const Particle& p : listOf(s)) {
      Vec3 expected = x1, v{};
      expected[c.first] = x1[c.first] + unit(reference) * d[c.first];
      expected[c.second] = x1[c.second] + unit(reference) * d[c.second];
      v[c.fixed_axis] = -2.0;  // the velocity keeps the sign of the drift speed
      EXPECT_TRUE(p.pos == expected && p.vel == v && p.weight == 0.25) << "dim " << c.dim;
    }
  }
  Species s("e-", ME, -QE, 1, w);  // an unknown plane selector injects nothing
  Source src{&s, &w, 1.0, 1.0};
  injectFromPlane(src, 4, {0, 0, 0}, {2, 2, 2});
  EXPECT_TRUE(s.particles.empty());
  src.inject_density = std::numeric_limits<double>::infinity();  // inf * 0 particles: refused before allocating
  EXPECT_THROW(injectFromPlane(src, 2, {0, 0, 0}, {0, 0, 1}), std::length_error);
  EXPECT_EQ(s.particles.pool.capacity(), 0u);
}

}  // namespace
