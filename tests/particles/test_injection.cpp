#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/injection.h"
#include "particles/random.h"

namespace {

// The count is |drift| * density * area * dt / mpw0 plus one uniform draw,
// truncated; then two position draws per particle along the in-plane axes.
TEST(InjectFromPlane, PlacesParticlesOnThePlaneWithTheDriftAlongItsNormal) {
  const struct {
    int dim, fixed_axis, first, second;  // in-plane axes drawn in this order
  } cases[] = {{1, 2, 0, 1}, {2, 0, 1, 2}, {3, 1, 0, 2}};
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1.0);
  const Vec3 x1{0.5, 1.0, 1.5}, x2{3.5, 3.0, 3.5}, d = x2 - x1;
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 1, w);
    Source src{&s, &w, -2.0, 0.75};  // |-2 * 0.75| = 1.5 per m^2 per s
    seedRandomForTesting(99);
    std::mt19937 reference(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    injectFromPlane(src, c.dim, x1, x2);
    ASSERT_EQ(s.particles.size(), static_cast<std::size_t>(1.5 * d[c.first] * d[c.second] + unit(reference)));
    for (const Particle& p : s.particles) {
      Vec3 expected = x1, v{};
      expected[c.first] = x1[c.first] + unit(reference) * d[c.first];
      expected[c.second] = x1[c.second] + unit(reference) * d[c.second];
      v[c.fixed_axis] = -2.0;  // the velocity keeps the sign of the drift speed
      EXPECT_EQ(p.pos, expected) << "dim " << c.dim;
      EXPECT_EQ(p.vel, v) << "dim " << c.dim;
      EXPECT_EQ(p.weight, 1.0);
    }
  }
  // Unknown plane selectors neither inject nor draw.
  Species s("e-", ME, -QE, 1, w);
  Source src{&s, &w, 1.0, 1.0};
  for (int dim : {0, 4, -1}) {
    seedRandomForTesting(5);
    injectFromPlane(src, dim, {0, 0, 0}, {2, 2, 2});
    std::mt19937 reference(5);
    EXPECT_EQ(rnd(), std::uniform_real_distribution<double>(0.0, 1.0)(reference)) << dim;
  }
  EXPECT_TRUE(s.particles.empty());
}

TEST(InjectFromPlane, AFractionalCountIsInjectedOnAverage) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1e-9);
  Species s("e-", ME, -QE, 50, w);
  Source src{&s, &w, 1e4, 1e7};  // 1e7 m^-3 * 1e4 m/s * 1.15 m^2 * 1e-9 s / 50 = 2.3 per call
  seedRandomForTesting(2024);
  const int calls = 20000;
  double total = 0;
  for (int q = 0; q < calls; ++q) {
    s.particles.clear();
    injectFromPlane(src, 1, {0, 0, 2}, {1, 1.15, 2});
    ASSERT_TRUE(s.particles.size() == 2 || s.particles.size() == 3) << s.particles.size();
    total += static_cast<double>(s.particles.size());
  }
  EXPECT_NEAR(total / calls, 2.3, 0.02);  // standard error about 0.003
}

TEST(InjectFromPlane, RefusesAStreamThatCannotBeStored) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1.0);
  Species s("e-", ME, -QE, 1, w);
  Source src{&s, &w, 1e30, 1e30};
  EXPECT_THROW(injectFromPlane(src, 2, {0, 0, 0}, {0, 1, 1}), std::length_error);
  src.inject_density = std::numeric_limits<double>::infinity();
  EXPECT_THROW(injectFromPlane(src, 2, {0, 0, 0}, {0, 0, 1}), std::length_error);  // inf * 0
  EXPECT_EQ(s.particles.capacity(), 0u);
}

}  // namespace
