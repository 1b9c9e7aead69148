// The deposition splits the node planes among threads; every node must still
// receive the same addends in the same order as on one thread, so den, vel and
// j come out bit for bit the same for any team.
#include <gtest/gtest.h>

#include <omp.h>

#include <random>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/deposition.h"

namespace {

// Particles spread over the mesh, a quarter of them exactly on node planes i
// (where a cell's two planes may belong to different threads), two deposits
// so that den_prev enters j.
struct Deposited {
  std::vector<double> den, den_prev;
  std::vector<Vec3> vel, j;
};

Deposited deposit(int ni, int team) {
  World w(ni, 6, 5);
  setUpCube(w, 0.0, 1.0);
  Species s("e-", ME, -QE, 50, w);
  std::mt19937 gen(static_cast<uint32_t>(ni));
  std::uniform_real_distribution<double> u(0.0, 0.999), v(-1e5, 1e5), weight(1.0, 100.0);
  std::uniform_int_distribution<int> plane(0, ni - 2);
  for (int round = 0; round < 2; ++round) {
    s.particles.clear();
    for (int q = 0; q < 4000; ++q) {
      Vec3 pos{u(gen), u(gen), u(gen)};
      if (q % 4 == 0) pos.x = plane(gen) * w.dh.x;
      s.particles.push_back(at(pos, {v(gen), v(gen), v(gen)}, weight(gen)));
    }
    const int old = omp_get_max_threads();
    omp_set_num_threads(team);
    computeGasProperties(s);
    omp_set_num_threads(old);
  }
  return {s.den.data, s.den_prev.data, s.vel.data, s.j.data};
}

TEST(DepositionThreads, AnyTeamGivesTheOneThreadFieldsBitForBit) {
  for (int ni : {2, 3, 7, 16}) {
    const Deposited one = deposit(ni, 1);
    for (int team : {2, 3, 8}) {
      const Deposited many = deposit(ni, team);
      ASSERT_EQ(many.den, one.den) << "ni " << ni << " team " << team;
      ASSERT_EQ(many.den_prev, one.den_prev) << "ni " << ni << " team " << team;
      ASSERT_EQ(many.vel, one.vel) << "ni " << ni << " team " << team;
      ASSERT_EQ(many.j, one.j) << "ni " << ni << " team " << team;
    }
  }
}

}  // namespace
