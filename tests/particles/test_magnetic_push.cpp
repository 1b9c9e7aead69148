// The push with the magnetic force (Boris scheme), and the Maxwellian
// velocities of loading and injection.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>
#include <numbers>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/injection.h"
#include "particles/maxwellian.h"
#include "particles/push.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// An electron at 1e5 m/s across B = 0.01 T along z (radius 57 um, period 3.57 ns,
// 357 steps of 1e-11 s), in E = (0, ey, 0): drift ey / B along x.
struct Gyration {
  double period = 0.0, radius = 0.0, drift = 0.0, worst_speed_change = 0.0;
};

Gyration gyrate(double ey, int steps) {
  Cube w(11, 0.0, 4e-3, 1e-11);  // the drift carries the electron about 1 mm
  const double bz = 0.01, v0 = 1e5, drift = ey / bz;  // the speed in the drifting frame stays v0
  for (Vec3& b : w.B.data) b = {0, 0, bz};
  for (Vec3& e : w.ef.data) e = {0, ey, 0};
  Species s("e-", ME, -QE, 1, w);
  setParticles(s, {at({1e-3, 2e-3, 2e-3}, {0, v0, 0})});
  Gyration g;
  double x_min = 1, x_max = -1, first_crossing = -1, last_crossing = -1, previous_vx = 0;
  int crossings = 0;
  for (int step = 1; step <= steps; ++step) {
    advance(s, {}, {}, 1, true);
    const Particle p = listOf(s).at(0);
    x_min = std::min(x_min, p.pos.x), x_max = std::max(x_max, p.pos.x);
    const double speed = std::hypot(p.vel.x - drift, p.vel.y, p.vel.z);
    g.worst_speed_change = std::max(g.worst_speed_change, std::fabs(speed - v0) / v0);
    if (previous_vx < drift && p.vel.x >= drift) {  // an upward crossing, interpolated
      const double t = step - (p.vel.x - drift) / (p.vel.x - previous_vx);
      if (crossings == 0) first_crossing = t;
      last_crossing = t;
      ++crossings;
    }
    previous_vx = p.vel.x;
  }
  g.period = (last_crossing - first_crossing) / (crossings - 1) * w.dt;
  g.radius = 0.5 * (x_max - x_min);
  g.drift = (listOf(s)[0].pos.x - 1e-3) / (steps * w.dt);
  return g;
}

TEST(MagneticPush, GyrationKeepsTheSpeedAndHasTheCyclotronPeriodAndRadius) {
  const double omega = QE * 0.01 / ME;  // rad/s
  const Gyration g = gyrate(0.0, 1000);
  EXPECT_NEAR(g.period, 2 * std::numbers::pi / omega, 0.01 * 2 * std::numbers::pi / omega);
  EXPECT_NEAR(g.radius, 1e5 / omega, 0.01 * 1e5 / omega);
  EXPECT_LT(g.worst_speed_change, 1e-12);
  // E x B: after whole periods the electron has drifted at E/B (1e5 m/s here).
  const Gyration d = gyrate(1000.0, 357 * 3);
  EXPECT_NEAR(d.drift, 1000.0 / 0.01, 0.01 * 1e5);
}

TEST(MagneticPush, WithoutBTheElectricPushIsUnchanged) {
  Cube w(9, 0.0, 1.0, 1e-3);
  for (std::size_t q = 0; q < w.ef.size(); ++q) w.ef.data[q] = {std::sin(0.1 * q), 2.0, -1.0};
  Species plain("O+", 1.0, 1.0, 1, w), magnetic("O+", 1.0, 1.0, 1, w);
  for (Species* s : {&plain, &magnetic}) setParticles(*s, {at({0.3, 0.4, 0.5}, {1, 2, 3}), at({0.7, 0.1, 0.2}, {-1, 0, 4})});
  for (int step = 0; step < 3; ++step) advance(plain, {}, {}, 1), advance(magnetic, {}, {}, 2, true);
  EXPECT_TRUE(sameParticles(listOf(plain), listOf(magnetic)));
}

TEST(Maxwellian, LoadedAndInjectedVelocitiesHaveTheirDistributions) {
  Cube w(5, 0.0, 1.0, 1e-9);
  seedRandom(17);
  // The spread of each velocity component is sqrt(kT / m): a speed from the
  // code under test would hide a wrong factor in it.
  EXPECT_NEAR(thermalSpeed(1.0, ME), 419382.9, 0.1);        // m/s, an electron at 1 eV
  EXPECT_NEAR(thermalSpeed(0.1, 16 * AMU), 776.552, 1e-3);  // m/s, O+ at 0.1 eV
  const double T = 2.0, sigma = std::sqrt(T * 1.602176565e-19 / 9.10938215e-31);  // eV, m/s
  Species s("e-", ME, -QE, 1, w);
  loadBox(s, {0, 0, 0}, {1, 1, 1}, 200000, {1e5, 0, 0}, T);
  Vec3 mean{}, square{};
  for (const Particle& p : listOf(s)) mean += p.vel, square += Vec3{p.vel.x * p.vel.x, p.vel.y * p.vel.y, p.vel.z * p.vel.z};
  const double n = static_cast<double>(s.particles.size());
  EXPECT_NEAR(mean.x / n, 1e5, 4 * sigma / std::sqrt(n));
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(square[a] / n - std::pow(mean[a] / n, 2), sigma * sigma, 0.02 * sigma * sigma) << a;

  // At zero drift the thermal flux crosses the plane: n sigma / sqrt(2 pi) per m^2
  // and s, normal speeds of mean sigma sqrt(pi / 2), all positive.
  Species injected("e-", ME, -QE, 1e6, w);
  Source source{&injected, &w, 0.0, 1e12, T};
  const int calls = 200;
  for (int c = 0; c < calls; ++c) injectFromPlane(source, 2, {0.5, 0.1, 0.1}, {0.5, 0.9, 0.9});
  const double expected = 1e12 * sigma / std::sqrt(2 * std::numbers::pi) * 0.64 * 1e-9 / 1e6;  // per call, about 150
  EXPECT_NEAR(static_cast<double>(injected.particles.size()) / calls, expected, 0.02 * expected);
  double normal = 0.0;
  for (const Particle& p : listOf(injected)) {
    ASSERT_GT(p.vel.x, 0.0);
    normal += p.vel.x;
  }
  EXPECT_NEAR(normal / static_cast<double>(injected.particles.size()), sigma * std::sqrt(std::numbers::pi / 2),
              0.02 * sigma);
  double fast = 0.0;  // a fast drift u: nearly the drifting Gaussian, mean u + sigma^2 / u
  for (int q = 0; q < 2000; ++q) fast += crossingNormalSpeed(50 * sigma, sigma) / sigma;
  EXPECT_NEAR(fast / 2000, 50.02, 0.1);
}

// The normal speed of a particle crossing a plane, in thermal speeds s, for
// a drift of a thermal speeds along the normal: density s exp(-(s - a)^2 / 2)
// on s > 0, whose distribution function is
//   [exp(-a^2/2) - exp(-(s-a)^2/2) + a sqrt(pi/2) (erf((s-a)/sqrt2) + erf(a/sqrt2))]
//   / [exp(-a^2/2) + a sqrt(pi/2) (1 + erf(a/sqrt2))].
double crossingCdf(double s, double a) {
  const double root = std::sqrt(std::numbers::pi / 2), r2 = std::numbers::sqrt2;
  const double below = std::exp(-a * a / 2) - std::exp(-(s - a) * (s - a) / 2) + a * root * (std::erf((s - a) / r2) + std::erf(a / r2));
  return below / (std::exp(-a * a / 2) + a * root * (1 + std::erf(a / r2)));
}

// Kolmogorov-Smirnov: with 20000 draws the largest gap between the sample's
// and the true distribution function stays below 1.63 / sqrt(n) (the 1%
// level) for every drift, toward the plane, away from it, and in between
// the ranges where the draw changes its method (a = 0, below and above -1).
TEST(Maxwellian, CrossingSpeedsHaveTheFluxWeightedDistribution) {
  seedRandom(23);
  const double sigma = 3.0e4;  // m/s
  for (const double a : {0.0, 0.3, 2.0, 6.0, -0.4, -1.5, -4.0}) {
    constexpr int N = 20000;
    std::vector<double> s(N);
    for (double& v : s) v = crossingNormalSpeed(a * sigma, sigma) / sigma;
    std::sort(s.begin(), s.end());
    double gap = 0.0;
    for (int q = 0; q < N; ++q) {
      const double f = crossingCdf(s[q], a);
      gap = std::max({gap, std::fabs(f - static_cast<double>(q) / N), std::fabs(f - static_cast<double>(q + 1) / N)});
    }
    EXPECT_GT(s.front(), 0.0) << a;
    EXPECT_LT(gap, 1.63 / std::sqrt(N)) << "drift " << a << " thermal speeds";
  }
}

}  // namespace
