#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/deposition.h"

namespace {

// Node volumes halve on faces and again on edges, so one particle on a node
// gives twice the interior density on a face and four times on an edge.
TEST(ComputeGasProperties, AParticleOnANodeGivesItsDensityAndVelocityThere) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0);  // dh = 1 m
  const struct {
    Vec3 pos;
    double den;  // m^-3
  } cases[] = {{{2, 1, 3}, 8.0}, {{0, 2, 2}, 16.0}, {{0, 0, 3}, 32.0}};
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 50, w);
    s.particles = {at(c.pos, {3, -4, 5}, 8.0)};
    computeGasProperties(s);
    for (int i = 0; i < 5; ++i)
      for (int j = 0; j < 5; ++j)
        for (int k = 0; k < 5; ++k) {
          const bool here = Vec3{double(i), double(j), double(k)} == c.pos;
          ASSERT_EQ(s.den(i, j, k), here ? c.den : 0.0);
          ASSERT_EQ(s.vel(i, j, k), (here ? Vec3{3, -4, 5} : Vec3{}));
        }
  }
}

TEST(ComputeGasProperties, ConservesTheTotalWeightAndAveragesVelocities) {
  World w(7, 6, 5);
  w.setExtents({-0.3, 0.1, 2.0}, {0.9, 0.6, 2.8});
  Species s("e-", ME, -QE, 50, w);
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  double total = 0;
  for (int q = 0; q < 2000; ++q) {
    const double weight = 1 + 99 * u(gen);
    s.particles.push_back(at({-0.3 + 1.2 * u(gen), 0.1 + 0.5 * u(gen), 2.0 + 0.8 * u(gen)}, {7, -2, 0.5}, weight));
    total += weight;
  }
  computeGasProperties(s);
  double sum = 0;
  for (std::size_t q = 0; q < s.den.size(); ++q) {
    sum += s.den.data[q] * w.node_vol.data[q];
    // Nodes with weight see the common velocity, nodes without see zero.
    if (s.den.data[q] == 0.0) EXPECT_EQ(s.vel.data[q], Vec3{});
    else EXPECT_NEAR(s.vel.data[q].y, -2.0, 1e-12);
  }
  EXPECT_NEAR(sum, total, 1e-9 * total);
}

TEST(ComputeGasProperties, CurrentUsesTheMeanOfThisAndThePreviousDensity) {
  World w(3, 3, 3);
  setUpCube(w, 0.0, 2.0);
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {at({1, 1, 1}, {2, 0, -1}, 4.0)};
  computeGasProperties(s);
  const double h = 0.5 * QE;
  EXPECT_EQ(s.j(1, 1, 1), (Vec3{(h * 4.0) * 2.0, 0.0, (h * 4.0) * -1.0}));  // first call: den_prev is 0
  s.particles[0].weight = 6.0;
  computeGasProperties(s);
  EXPECT_EQ(s.den_prev(1, 1, 1), 4.0);
  EXPECT_EQ(s.j(1, 1, 1).x, (h * (6.0 + 4.0)) * 2.0);
}

TEST(ChargeAndCurrentDensity, SumTheChargedSpeciesInListOrder) {
  World w(3, 3, 3);
  setUpCube(w, 0.0, 2.0);
  std::vector<Species> list;
  list.reserve(3);
  list.emplace_back("O+", 16 * AMU, QE, 50, w);
  list.emplace_back("e-", ME, -QE, 50, w);
  list.emplace_back("n", 16 * AMU, 0.0, 50, w);  // neutral: contributes nothing
  for (Species& s : list) {
    s.particles = {at({0.25, 1.5, 1.0}, {1, 2, 3}, 50.0)};
    computeGasProperties(s);
  }
  w.rho.data.assign(w.rho.size(), 99.0);  // stale values must not survive
  computeChargeDensity(w, list);
  for (double r : w.rho.data) EXPECT_EQ(r, 0.0);  // +e and -e at equal density
  computeCurrentDensity(w, list);
  for (std::size_t q = 0; q < w.j_total.size(); ++q) EXPECT_EQ(w.j_total.data[q], list[0].j.data[q] + list[1].j.data[q]);
  list[1].particles.clear();
  computeGasProperties(list[1]);
  computeChargeDensity(w, list);
  EXPECT_EQ(w.rho(0, 1, 1), QE * list[0].den(0, 1, 1));
  EXPECT_GT(w.rho(0, 1, 1), 0.0);
}

}  // namespace
