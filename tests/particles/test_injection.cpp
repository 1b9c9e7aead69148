#include <gtest/gtest.h>

#include <limits>
#include <random>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/injection.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// Count: |drift| * density * area * dt / mpw0 plus one uniform draw, truncated;
// then two position draws per particle along the in-plane axes.
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
    seedRandom(99);
    std::mt19937 reference(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    injectFromPlane(src, c.dim, x1, x2);
    ASSERT_EQ(s.particles.size(), static_cast<std::size_t>(1.5 * d[c.first] * d[c.second] + unit(reference)));
    for (const Particle& p : s.particles) {
      Vec3 expected = x1, v{};
      expected[c.first] = x1[c.first] + unit(reference) * d[c.first];
      expected[c.second] = x1[c.second] + unit(reference) * d[c.second];
      v[c.fixed_axis] = -2.0;  // the velocity keeps the sign of the drift speed
      EXPECT_TRUE(p.pos == expected && p.vel == v && p.weight == 1.0) << "dim " << c.dim;
    }
  }
  Species s("e-", ME, -QE, 1, w);  // an unknown plane selector injects nothing
  Source src{&s, &w, 1.0, 1.0};
  injectFromPlane(src, 4, {0, 0, 0}, {2, 2, 2});
  EXPECT_TRUE(s.particles.empty());
  src.inject_density = std::numeric_limits<double>::infinity();  // inf * 0 particles: refused before allocating
  EXPECT_THROW(injectFromPlane(src, 2, {0, 0, 0}, {0, 0, 1}), std::length_error);
  EXPECT_EQ(s.particles.capacity(), 0u);
}

TEST(InjectFromPlane, AFractionalCountIsInjectedOnAverage) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1e-9);
  Species s("e-", ME, -QE, 50, w);
  Source src{&s, &w, 1e4, 1e7};  // 1e7 m^-3 * 1e4 m/s * 1.15 m^2 * 1e-9 s / 50 = 2.3 per call
  seedRandom(2024);
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

}  // namespace
