// advance starts the removal pass at the first particle without weight; the
// list must come out exactly as a pass from the start leaves it.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "particle_test_world.h"
#include "particles/push.h"

namespace {

bool sameList(const std::vector<Particle>& a, const std::vector<Particle>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t q = 0; q < a.size(); ++q)
    if (a[q].pos != b[q].pos || a[q].weight != b[q].weight) return false;
  return true;
}

TEST(RemovalStart, StartingAtTheFirstDeadParticleGivesTheSameList) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  for (int round = 0; round < 200; ++round) {
    const int n = 1 + round % 23;
    std::vector<Particle> list;
    std::size_t first = static_cast<std::size_t>(n);
    for (int q = 0; q < n; ++q) {
      const double r = u(gen);
      const double weight = r < 0.2 ? 0.0 : r < 0.3 ? -1.0 : 1.0 + q;
      if (!(weight > 0.0) && first == static_cast<std::size_t>(n)) first = static_cast<std::size_t>(q);
      list.push_back(at({double(q), 0, 0}, {}, weight));
    }
    std::vector<Particle> from_start = list;
    removeDeadParticles(from_start);
    removeDeadParticlesFrom(list, first);
    ASSERT_TRUE(sameList(list, from_start)) << "round " << round;
  }
}

TEST(RemovalStart, AdvanceRemovesParticlesThatCameInDeadAndThoseItKills) {
  World w(5, 5, 5);
  setUpCube(w, 0.0, 4.0, 1e-9);
  Species s("O+", 1.0, 1.0, 50, w);
  // Weights 0 and -1 on arrival, one leaving through the wall, the rest staying.
  s.particles = {at({1, 1, 1}, {}, 1.0), at({2, 2, 2}, {}, 0.0), at({1, 2, 1}, {}, 2.0),
                 at({3.9, 1, 1}, {1e9, 0, 0}, 3.0), at({1, 1, 2}, {}, -1.0), at({2, 1, 1}, {}, 4.0)};
  advance(s, 2);
  std::vector<double> weights;
  for (const Particle& p : s.particles) weights.push_back(p.weight);
  EXPECT_EQ(weights, (std::vector<double>{1.0, 4.0, 2.0}));
}

}  // namespace
