// The push, with and without the magnetic force, and the Maxwellian velocities.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

#include "geometry/findClearCells.h"
#include "geometry/testMeshes.h"
#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/TileGrid.h"
#include "particles/injection.h"
#include "particles/maxwellian.h"
#include "particles/meshCells.h"
#include "particles/push.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// Particles leaving the mesh are dropped; those ending in an object are
// tallied for it, whatever the team, with their velocity at impact.
TEST(Advance, RemovesParticlesThatLeaveTheMeshOrEnterAnObjectAndTalliesTheLatter) {
  Cube w(5, 0.0, 4.0, 1.0);
  const std::vector<AmfObject> objects{toObject(boxMesh("near", {0.5, 0.5, 0.5}, {1.0, 1.0, 1.0})),
                                       toObject(boxMesh("Body", {1.5, 1.5, 1.5}, {2.5, 2.5, 2.5}))};
  for (int team : {1, 2, 60}) {
    Species s("O+", 16 * AMU, QE, 50, w);
    std::vector<Particle> list = {
        at({3, 3, 3}, {1, 0, 0}, 1000),      // lands exactly on xm: removed
        at({1, 3, 3}, {-1, 0, 0}, 1000),     // lands exactly on x0: stays
        at({3, 3, 3}, {0, 0, -4}, 1000),     // leaves through z = x0
        at({3, 3, 3}, {0, 1e308, 0}, 1000),  // overflows far away
    };
    for (int q = 0; q < 50; ++q) list.push_back(at({0.3 + 0.01 * q, 1.97, 2.03}, {1.5, 0, 0}, 1.0 + q));
    setParticles(s, list);
    std::vector<double> absorbed;
    advance(s, objects, {}, team, false, &absorbed);
    ASSERT_EQ(s.particles.size(), 1u) << team;
    EXPECT_EQ(listOf(s)[0].pos, (Vec3{0, 3, 3}));
    EXPECT_EQ(absorbed, (std::vector<double>{0.0, 50 * 51 / 2.0})) << team;  // x 1.8 to 2.29 ends inside Body
    int hits = 0;
    for (std::size_t q = 0; q < s.moves.movers.size(); ++q)
      if (s.moves.movers[q].fate == Fate::ABSORBED) {
        EXPECT_EQ(s.moves.movers[q].object, 1);
        EXPECT_EQ(s.moves.moving[q].vel, (Vec3{1.5, 0, 0}));
        ++hits;
      }
    EXPECT_EQ(hits, 50);
    advance(s, objects, {}, team, false, &absorbed);  // leaves: nothing absorbed
    EXPECT_TRUE(s.particles.empty());
    EXPECT_EQ(absorbed, (std::vector<double>{0.0, 0.0}));
  }
}

// At each face the lowest and highest kept position, and the next double
// beyond each, which is removed.
TEST(Advance, KeepsExactlyThePositionsOnTheMeshAtEveryFace) {
  const struct {
    int n;
    double lo, hi;  // m
  } grids[] = {{5, 0.0, 4.0}, {4, 0.0, 1.0}, {11, -0.5, 1.5}};  // [0, 1]: the double below 1 lies in no cell
  for (const auto& g : grids) {
    Cube w(g.n, g.lo, g.hi, 1.0);  // no field, steps of 1 s: a particle moves by exactly its velocity
    for (int axis = 0; axis < 3; ++axis) {
      // The highest kept coordinate, walking down from the extent.
      const Vec3 middle{0.5 * (g.lo + g.hi), 0.5 * (g.lo + g.hi), 0.5 * (g.lo + g.hi)};
      auto along = [&](double c) {
        Vec3 p = middle;
        p[axis] = c;
        return p;
      };
      double top = g.hi;
      while (!insideMeshCells(w.grid, along(top))) top = std::nextafter(top, g.lo);
      const double kept[] = {g.lo, top};
      const double removed[] = {std::nextafter(g.lo, -INFINITY), std::nextafter(top, INFINITY)};
      // The removed ones start one double inside and move by exactly that double.
      Species s("O+", 16 * AMU, QE, 50, w);
      for (int q = 0; q < 2; ++q) {
        s.particles.append(at(along(kept[q]), {}));
        Vec3 v;
        v[axis] = removed[q] - kept[q];
        s.particles.append(at(along(kept[q]), v));
      }
      advance(s, {}, {}, 1);
      std::vector<double> survivors;
      for (const Particle& p : listOf(s)) survivors.push_back(p.pos[axis]);
      std::sort(survivors.begin(), survivors.end());
      EXPECT_EQ(survivors, (std::vector<double>{kept[0], kept[1]}))
          << "axis " << axis << " on [" << g.lo << ", " << g.hi << "]";
    }
  }
}

// Skipping the query in clear cells, or any team, changes no particle.
TEST(Advance, ClearCellsAndTeamSizeChangeNoParticle) {
  Cube w(21, 0.0, 1.0, 1e-3);
  for (std::size_t q = 0; q < w.ef.size(); ++q) w.ef.data[q] = {std::sin(0.1 * q), std::cos(0.07 * q), 0.5};
  const std::vector<AmfObject> objects{toObject(sphereMesh("Body", {0.5, 0.5, 0.5}, 0.2, 3)),
                                       toObject(ringMesh("ring", {0.5, 0.5, 0.5}, 0.3, 0.35, 0.05, 32))};
  const ClearCells clear = findClearCells(w.grid, objects, 2);
  std::vector<Particle> start;
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(0.05, 0.95), v(-20.0, 20.0);
  for (int q = 0; q < 20000; ++q) start.push_back(at({u(gen), u(gen), u(gen)}, {v(gen), v(gen), v(gen)}));
  std::vector<Particle> one_thread;
  for (int team : {1, 3, 60}) {
    Species fast("O+", 1.0, 1.0, 1, w), full("O+", 1.0, 1.0, 1, w);
    setParticles(fast, start);
    setParticles(full, start);
    for (int step = 0; step < 4; ++step) {
      advance(fast, objects, clear, team);
      advance(full, objects, {}, team);
    }
    if (team == 1) one_thread = listOf(full);
    ASSERT_LT(full.particles.size(), start.size() * 9 / 10);  // the objects and the walls took many
    EXPECT_TRUE(sameParticles(listOf(fast), listOf(full))) << team;
    EXPECT_TRUE(sameParticles(one_thread, listOf(full))) << team;
  }
}

// Pushed on the tiles, every particle takes exactly the path a plain leapfrog
// loop gives it, none is lost or doubled, and each bin holds its tile's.
TEST(Advance, KeepingParticlesByTileChangesNothingThePushComputes) {
  Cube w(19, -0.3, 0.6, 1e-3);  // 18 cells per axis: tiles of 4 with partial ones at the far walls
  for (std::size_t q = 0; q < w.ef.size(); ++q) w.ef.data[q] = {std::sin(0.3 * q), std::cos(0.11 * q), -0.4};
  std::mt19937 gen(8);
  std::uniform_real_distribution<double> u(-0.3, 0.6);
  std::normal_distribution<double> thermal(0.0, 15.0);  // m/s: about 0.3 cells per step, some far more
  std::vector<Particle> reference;
  for (int q = 0; q < 30000; ++q) {
    const double speed = q % 50 == 0 ? 10.0 : 1.0;  // a few cross several cells per step
    reference.push_back(at({u(gen), u(gen), u(gen)}, {speed * thermal(gen), speed * thermal(gen), thermal(gen)},
                           1.0 + q));  // the weight names the particle
  }
  const MeshCellLimits limits = meshCellLimits(w.grid);
  const double k = 2.0 * w.dt / 3.0;  // charge * dt / mass of the species below
  for (int team : {1, 3}) {
    Species s("X", 3.0, 2.0, 1, w);
    setParticles(s, reference);
    std::vector<Particle> alone = reference;
    for (int step = 0; step < 6; ++step) {
      advance(s, {}, {}, team);
      std::vector<Particle> survivors;
      for (Particle p : alone) {
        const Vec3 e = gather(w.ef, w.grid.toLogical(p.pos));
        p.vel.x += k * e.x, p.vel.y += k * e.y, p.vel.z += k * e.z;
        p.pos.x += w.dt * p.vel.x, p.pos.y += w.dt * p.vel.y, p.pos.z += w.dt * p.vel.z;
        if (insideLimits(limits, p.pos)) survivors.push_back(p);
      }
      alone = survivors;
      std::vector<Particle> tiled = listOf(s);
      const auto byName = [](const Particle& a, const Particle& b) { return a.weight < b.weight; };
      std::sort(tiled.begin(), tiled.end(), byName);
      ASSERT_TRUE(sameParticles(tiled, alone)) << "team " << team << " step " << step;
      const ParticleList& list = s.particles;
      ASSERT_EQ(list.counts[list.unplacedBin()], 0u);
      for (uint32_t bin = 0; bin < list.tiles.count(); ++bin)
        for (uint32_t slot = 0; slot < list.counts[bin]; ++slot) {
          int32_t i, j, kk;
          ASSERT_TRUE(cellOf(list.tiles, w.grid.toLogical(list.at(bin, slot).pos), i, j, kk));
          ASSERT_EQ(list.tiles.tileOf(i, j, kk), bin);
        }
    }
    EXPECT_GT(alone.size(), 20000u);  // most are still on the mesh
  }
}

}  // namespace

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
  // sqrt(kT / m) from known values: the code's own speed would hide a wrong factor.
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

// Kolmogorov-Smirnov at the 1% level for drifts toward, away from and across
// the ranges where the draw changes its method.
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
