// The electrons surfaces emit against known answers: the energy and
// directions of a Lambertian half-Maxwellian flux, and the number of
// secondaries the universal yield curve gives at normal and oblique impact.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "mesh/constants.h"
#include "particles/maxwellian.h"
#include "particles/random.h"
#include "surfaces/lambertianVelocity.h"
#include "surfaces/secondaryEmission.h"
#include "../particles/particle_test_world.h"

using namespace plasmabox;

namespace {

constexpr double ELECTRON_MASS = 9.10938215e-31;  // kg

// The flux of a half-Maxwellian through a surface carries a mean kinetic
// energy of 2 kT (not the 3/2 kT of the gas), every velocity leaves the
// surface, and the directions follow Lambert's cosine law: the mean cosine
// from the normal is 2/3. Tried on normals along an axis and oblique ones.
TEST(Emission, LambertianElectronsCarryTwiceTheTemperature) {
  const double T = 2.0, sigma = thermalSpeed(T, ELECTRON_MASS);
  const Vec3 normals[] = {{0, 0, 1}, {-1, 0, 0}, {0.6, 0, -0.8}, {1 / std::sqrt(3.0), -1 / std::sqrt(3.0), 1 / std::sqrt(3.0)}};
  for (const Vec3& n : normals) {
    std::mt19937_64 g(7);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    const int draws = 20000;
    double energy = 0.0, cosine = 0.0;
    int backwards = 0;
    for (int q = 0; q < draws; ++q) {
      const Vec3 v = lambertianVelocity(n, sigma, [&] { return u(g); });
      const double speed2 = dot(v, v);
      energy += 0.5 * ELECTRON_MASS * speed2 / QE / draws;
      cosine += dot(v, n) / std::sqrt(speed2) / draws;
      backwards += dot(v, n) <= 0.0;
    }
    // E / kT is gamma(2)-distributed: standard deviation sqrt(2) kT per draw, 0.01 kT for the mean here.
    EXPECT_NEAR(energy, 2 * T, 0.03 * T) << "normal " << n.x << "," << n.y << "," << n.z;
    EXPECT_NEAR(cosine, 2.0 / 3.0, 0.01);
    EXPECT_EQ(backwards, 0);
  }
}

// Electrons of energy E striking a flat face (the bottom of a cube in the
// box, its outward normal -z) at angle theta from the normal: the mean number
// of secondaries per electron is the universal curve's
// 7.4 dmax (E/emax) exp(-2 sqrt(E/emax)) / cos(theta), that is dmax at emax,
// 7.4 dmax 4 exp(-4) at 4 emax, twice as many at 60 degrees, no more at
// 85 degrees than at 80 (the cap of grazing impacts); within 3
// standard deviations of the count (trunc of the mean plus one draw per
// electron). The secondaries start outside the object and leave it.
TEST(Emission, SecondariesFollowTheUniversalYieldCurve) {
  const SecondaryYield yield{2.5, 300.0};
  // The published curve; its 7.4 stands for e^2, so that at emax it gives dmax within 0.2%.
  const auto curve = [](double e_over_emax, double degrees) {
    return 7.4 * 2.5 * e_over_emax * std::exp(-2 * std::sqrt(e_over_emax)) / std::cos(degrees * std::numbers::pi / 180);
  };
  EXPECT_NEAR(curve(1.0, 0.0), 2.5, 0.002 * 2.5);
  const struct {
    double energy_ev, theta_deg, expected;
  } cases[] = {
      {300.0, 0.0, curve(1.0, 0.0)},  {1200.0, 0.0, curve(4.0, 0.0)},   {300.0, 60.0, 2 * curve(1.0, 0.0)},
      {1200.0, 60.0, 2 * curve(4.0, 0.0)}, {30.0, 0.0, curve(0.1, 0.0)}, {300.0, 85.0, curve(1.0, 80.0)},
  };
  for (const auto& c : cases) {
    Cube world(11, 0.0, 1.0, 1e-9);
    Species emitted("e-emitted", ELECTRON_MASS, -QE, 1.0, world);
    SecondaryEmission s;
    s.yield = {yield};
    s.normals.resize(1);
    s.normals[0].normal = {Vec3{0, 0, -1}};
    s.temperature = 2.0;
    s.offset = 1e-6;
    const double theta = c.theta_deg * std::numbers::pi / 180.0;
    const double speed = std::sqrt(2 * c.energy_ev * QE / ELECTRON_MASS);
    const Vec3 vel{speed * std::sin(theta), 0.0, speed * std::cos(theta)};  // upwards into the bottom face
    const int electrons = 4000;
    std::vector<Impact> impacts(electrons, Impact{0, 0, {0.5, 0.5, 0.5}, vel, 3.0});
    std::vector<double> charge(1, 0.0);
    seedRandom(11);
    emitSecondaries(emitted, impacts, ELECTRON_MASS, s, ObjectVeto{}, charge);
    const std::vector<Particle> made = listOf(emitted);
    const double mean = static_cast<double>(made.size()) / electrons;
    // Each electron gives floor(m) or floor(m) + 1: a Bernoulli spread.
    const double frac = c.expected - std::floor(c.expected);
    const double sd = std::sqrt(frac * (1 - frac) / electrons) + 1e-12;
    EXPECT_NEAR(mean, c.expected, 3 * sd) << c.energy_ev << " eV at " << c.theta_deg << " degrees";
    EXPECT_NEAR(charge[0], -QE * 3.0 * static_cast<double>(made.size()), 1e-12 * QE * made.size());
    for (const Particle& p : made) {
      ASSERT_LT(p.vel.z, 0.0);  // away from the face, down into the box
      ASSERT_LT(p.pos.z, 0.5);
      ASSERT_EQ(p.weight, 3.0);
    }
  }
}

}  // namespace
