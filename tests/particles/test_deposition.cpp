#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/deposition.h"

using namespace plasmabox;

namespace {

// Node volumes halve on faces and again on edges, so one particle on a node
// gives twice the interior density on a face and four times on an edge.
TEST(ComputeGasProperties, AParticleOnANodeGivesItsDensityAndVelocityThere) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0);  // dh = 1 m
  for (const auto& [pos, den] : {std::pair{Vec3{2, 1, 3}, 8.0}, {Vec3{0, 2, 2}, 16.0}, {Vec3{0, 0, 3}, 32.0}}) {
    Species s("O+", 16 * AMU, QE, 50, w);
    s.particles = {at(pos, {3, -4, 5}, 8.0)};
    computeGasProperties(s, 2);
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        for (int k = 0; k < 5; ++k) {
          const bool here = Vec3{double(i), double(j), double(k)} == pos;
          ASSERT_EQ(s.den(i, j, k), here ? den : 0.0);
          ASSERT_EQ(s.vel(i, j, k), (here ? Vec3{3, -4, 5} : Vec3{}));
        }
  }
}

TEST(ComputeGasProperties, ConservesTheTotalWeight) {
  World w(7, 6, 5);
  w.grid.setExtents({-0.3, 0.1, 2.0}, {0.9, 0.6, 2.8});
  Species s("e-", ME, -QE, 50, w);
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double total = 0, sum = 0;
  for (int q = 0; q < 2000; ++q) {
    s.particles.push_back(at({-0.3 + 1.2 * u(gen), 0.1 + 0.5 * u(gen), 2.0 + 0.8 * u(gen)}, {}, 1 + 99 * u(gen)));
    total += s.particles.back().weight;
  }
  computeGasProperties(s, 3);
  for (std::size_t q = 0; q < s.den.size(); ++q) sum += s.den.data[q] * w.grid.node_vol.data[q];
  EXPECT_NEAR(sum, total, 1e-9 * total);
}

TEST(ComputeGasProperties, CurrentUsesTheMeanOfThisAndThePreviousDensity) {
  World w(3, 3, 3);
  setUpCube(w, 0.0, 2.0);
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {at({1, 1, 1}, {2, 0, -1}, 4.0)};
  computeGasProperties(s, 1);
  const double h = 0.5 * QE;
  EXPECT_EQ(s.j(1, 1, 1), (Vec3{(h * 4.0) * 2.0, 0.0, (h * 4.0) * -1.0}));  // first call: den_prev is 0
  s.particles[0].weight = 6.0;
  computeGasProperties(s, 1);
  EXPECT_EQ(s.j(1, 1, 1).x, (h * (6.0 + 4.0)) * 2.0);
}

TEST(ChargeAndCurrentDensity, SumTheChargedSpeciesInListOrder) {
  World w(3, 3, 3);
  setUpCube(w, 0.0, 2.0);
  std::vector<Species> list;  // the neutral one contributes nothing
  list.reserve(3);
  for (double q : {QE, -QE, 0.0}) list.emplace_back(q > 0 ? "O+" : q < 0 ? "e-" : "n", 16 * AMU, q, 50, w);
  for (Species& s : list) {
    s.particles = {at({0.25, 1.5, 1.0}, {1, 2, 3}, 50.0)};
    computeGasProperties(s, 2);
  }
  w.rho.data.assign(w.rho.size(), 99.0);  // stale values must not survive
  computeChargeDensity(w, list);
  for (double r : w.rho.data) EXPECT_EQ(r, 0.0);  // +e and -e at equal density
  computeCurrentDensity(w, list);
  for (std::size_t q = 0; q < w.j_total.size(); ++q) EXPECT_EQ(w.j_total.data[q], list[0].j.data[q] + list[1].j.data[q]);
}

}  // namespace
