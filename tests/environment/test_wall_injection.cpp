// The ambient plasma entering through the six walls against the one-sided flux.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "environment/injectAmbient.h"
#include "environment/wallFlux.h"
#include "geometry/testMeshes.h"
#include "mesh/constants.h"
#include "particles/random.h"
#include "../particles/particle_test_world.h"

using namespace plasmabox;

namespace {

constexpr double AMU_1 = 1.660538921e-27;  // kg, an ion of 1 amu

// Macro-particles through the x- wall of the unit cube per step, from the
// one-sided flux of a drifting Maxwellian.
double expectedThroughLowX(double n, double u, double sigma, double dt, double w) {
  return n * (sigma / std::sqrt(2 * std::numbers::pi) * std::exp(-u * u / (2 * sigma * sigma)) +
              u / 2 * (1 + std::erf(u / (std::numbers::sqrt2 * sigma)))) * 1.0 * dt / w;
}

TEST(WallFlux, OneSidedFluxOfEachWallFromTheDriftAlongItsNormal) {
  Cube w(5, 0.0, 1.0, 1e-8);
  const double T = 2.0, sigma = std::sqrt(T * QE / AMU_1);  // m/s
  const Ambient a{1e10, T, {sigma, 0, -3 * sigma}};
  const double per_step = expectedThroughLowX(1e10, sigma, sigma, 1e-8, 100.0);
  EXPECT_NEAR(wallMacroParticles(a, AMU_1, 100.0, w.grid, 0, 1e-8), per_step, 1e-12 * per_step);
  EXPECT_NEAR(wallMacroParticles(a, AMU_1, 100.0, w.grid, 1, 1e-8), expectedThroughLowX(1e10, -sigma, sigma, 1e-8, 100.0),
              1e-12 * per_step);
  // At zero drift along y the flux is the thermal one, n sigma / sqrt(2 pi), on both y walls.
  const double thermal = 1e10 * sigma / std::sqrt(2 * std::numbers::pi) * 1e-8 / 100.0;
  EXPECT_NEAR(wallMacroParticles(a, AMU_1, 100.0, w.grid, 2, 1e-8), thermal, 1e-12 * thermal);
  EXPECT_NEAR(wallMacroParticles(a, AMU_1, 100.0, w.grid, 3, 1e-8), thermal, 1e-12 * thermal);
  // A cold plasma enters only where it flows in: n u through z+ (u = 3 sigma inwards), nothing through z-.
  const Ambient cold{1e10, 0.0, {0, 0, -3 * sigma}};
  EXPECT_EQ(wallMacroParticles(cold, AMU_1, 100.0, w.grid, 4, 1e-8), 0.0);
  EXPECT_NEAR(wallMacroParticles(cold, AMU_1, 100.0, w.grid, 5, 1e-8), 1e10 * 3 * sigma * 1e-8 / 100.0, 1e-6);
}

// Particles within |v_normal| dt of wall `wall` of the unit cube, moving inwards.
int countFrom(const std::vector<Particle>& particles, int wall, double dt) {
  const int axis = wall / 2;
  const double inward = wall % 2 == 0 ? 1.0 : -1.0, plane = wall % 2 == 0 ? 0.0 : 1.0;
  int n = 0;
  for (const Particle& p : particles) {
    const double depth = inward * (p.pos[axis] - plane), speed = inward * p.vel[axis];
    if (speed > 0.0 && depth >= 0.0 && depth <= speed * dt) ++n;
  }
  return n;
}

// The count through each wall matches the flux within 3 Poisson standard
// deviations, for drifts of 0 and +-2 thermal speeds.
TEST(InjectAmbient, EachWallInjectsItsOneSidedFlux) {
  const double T = 1.0, sigma = std::sqrt(T * QE / AMU_1), dt = 2e-8;  // sigma dt = 0.2 mm in the 1 m box
  struct Case {
    Vec3 drift;
  };
  for (const Case& c : {Case{{0, 0, 0}}, Case{{2 * sigma, 0, 0}}, Case{{-2 * sigma, 0, 0}}, Case{{0, 2 * sigma, 0}}}) {
    Cube w(5, 0.0, 1.0, dt);
    Species ions("O+", AMU_1, QE, 1e4, w);
    const Ambient a{1e10, T, c.drift};
    seedRandom(5);
    const int steps = 40;
    double through[6] = {}, expected[6] = {};
    for (int step = 0; step < steps; ++step) {
      ions.particles.clear();
      injectAmbient(ions, a, ObjectVeto{});
      for (int wall = 0; wall < 6; ++wall) {
        through[wall] += countFrom(listOrder(ions.particles), wall, dt);
        expected[wall] += expectedThroughLowX(1e10, (wall % 2 == 0 ? 1 : -1) * c.drift[wall / 2], sigma, dt, 1e4);
      }
    }
    for (int wall = 0; wall < 6; ++wall)
      EXPECT_NEAR(through[wall], expected[wall], 3 * std::sqrt(expected[wall]) + 1)
          << "wall " << WALL_NAMES[wall] << ", drift " << c.drift.x << "," << c.drift.y;
  }
}

// Entering particles move inwards, stand within a step's travel of their
// wall, and are never created inside an object.
TEST(InjectAmbient, ParticlesEnterAsALayerAndNeverInsideAnObject) {
  const double T = 1.0, sigma = std::sqrt(T * QE / AMU_1), dt = 2e-6;  // sigma dt = 2 cm
  Cube w(5, 0.0, 1.0, dt);
  Species ions("O+", AMU_1, QE, 1e6, w);
  seedRandom(8);
  const Ambient a{1e11, T, {0, 0, 0}};
  // A plate filling the first 5 cm above z = 0 over the whole box.
  const std::vector<AmfObject> objects = objectsOf({boxMesh("plate", {-0.1, -0.1, -0.1}, {1.1, 1.1, 0.05})});
  const int64_t made = injectAmbient(ions, a, ObjectVeto{objects, nullptr});
  ASSERT_EQ(made, static_cast<int64_t>(ions.particles.size()));
  ASSERT_GT(made, 1000);
  int deep = 0;
  for (const Particle& q : listOrder(ions.particles)) {
    EXPECT_GT(q.pos.z, 0.05) << "a particle inside the plate";
    EXPECT_TRUE(w.grid.inBounds(q.pos));
    double nearest = 1.0;
    for (int axis = 0; axis < 3; ++axis) nearest = std::min({nearest, q.pos[axis], 1.0 - q.pos[axis]});
    deep += nearest > 5 * sigma * dt;  // a normal speed beyond 5 thermal speeds: 4e-6 of the crossings
  }
  EXPECT_EQ(deep, 0);
}

}  // namespace
