#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "geometry/findClearCells.h"
#include "geometry/testMeshes.h"
#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/meshCells.h"
#include "particles/push.h"

using namespace plasmabox;

namespace {

TEST(Advance, ZeroFieldDriftsUniformFieldAcceleratesThenMoves) {
  Cube w(5, 0.0, 4.0, 0.5);
  Species s("O+", 16 * AMU, QE, 50, w);
  s.particles = {at({1, 1, 1}, {1, -0.5, 0.25})};
  advance(s, {}, {}, 2);
  EXPECT_EQ(s.particles.at(0).pos, (Vec3{1.5, 0.75, 1.125}));
  EXPECT_EQ(s.particles[0].vel, (Vec3{1, -0.5, 0.25}));

  const double dt = 1e-9, e = 250.0;  // s, V/m along x: uniform field
  setUpCube(w, 0.0, 0.04, dt);
  for (Vec3& f : w.ef.data) f = {e, 0, 0};
  Species el("e-", ME, -QE, 50, w);
  el.particles = {at({0.02, 0.02, 0.02}, {1e4, 0, 0})};
  double vx = 1e4, x = 0.02;
  for (int step = 0; step < 3; ++step) {
    advance(el, {}, {}, 1);
    vx = vx + (-QE * dt / ME) * e;
    x = x + dt * vx;
    ASSERT_EQ(el.particles.size(), 1u);
    EXPECT_TRUE(el.particles[0].vel.x == vx && el.particles[0].pos.x == x) << step;
  }
}

// Particles that leave the mesh are dropped; those that end in an object are
// also counted for it, weighted, whatever the team.
TEST(Advance, RemovesParticlesThatLeaveTheMeshOrEnterAnObjectAndTalliesTheLatter) {
  Cube w(5, 0.0, 4.0, 1.0);
  const std::vector<AmfObject> objects{toObject(boxMesh("near", {0.5, 0.5, 0.5}, {1.0, 1.0, 1.0})),
                                       toObject(boxMesh("Body", {1.5, 1.5, 1.5}, {2.5, 2.5, 2.5}))};
  for (int team : {1, 2, 60}) {
    Species s("O+", 16 * AMU, QE, 50, w);
    s.particles = {
        at({3, 3, 3}, {1, 0, 0}, 1000),      // lands exactly on xm: removed
        at({1, 3, 3}, {-1, 0, 0}, 1000),     // lands exactly on x0: stays
        at({3, 3, 3}, {0, 0, -4}, 1000),     // leaves through z = x0
        at({3, 3, 3}, {0, 1e308, 0}, 1000),  // overflows far away
    };
    for (int q = 0; q < 50; ++q) s.particles.push_back(at({0.3 + 0.01 * q, 1.97, 2.03}, {1.5, 0, 0}, 1.0 + q));
    std::vector<double> absorbed;
    advance(s, objects, {}, team, false, &absorbed);
    ASSERT_EQ(s.particles.size(), 1u) << team;
    EXPECT_EQ(s.particles[0].pos, (Vec3{0, 3, 3}));
    EXPECT_EQ(absorbed, (std::vector<double>{0.0, 50 * 51 / 2.0})) << team;  // x 1.8 to 2.29 ends inside Body
    advance(s, objects, {}, team, false, &absorbed);  // leaves: nothing absorbed
    EXPECT_TRUE(s.particles.empty());
    EXPECT_EQ(absorbed, (std::vector<double>{0.0, 0.0}));
  }
}

// At each of the six faces: the lowest and the highest position that is kept
// (on the upper faces the largest coordinate whose cell still lies on the
// mesh, below the extent), and the next double beyond each, which is removed.
TEST(Advance, KeepsExactlyThePositionsOnTheMeshAtEveryFace) {
  const struct {
    int n;
    double lo, hi;  // m
  } grids[] = {{5, 0.0, 4.0}, {4, 0.0, 1.0}, {11, -0.5, 1.5}};  // [0, 1]: the double below 1 lies in no cell
  for (const auto& g : grids) {
    Cube w(g.n, g.lo, g.hi, 1.0);  // no field, steps of 1 s: a particle moves by exactly its velocity
    for (int axis = 0; axis < 3; ++axis) {
      // The highest kept coordinate along axis, from the definition of a
      // position on the mesh, walking down from the extent.
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
      // Every particle starts on the mesh, as the push assumes: the removed
      // ones one double inside, moving by that one double (an exact step).
      Species s("O+", 16 * AMU, QE, 50, w);
      for (int q = 0; q < 2; ++q) {
        s.particles.push_back(at(along(kept[q]), {}));
        Vec3 v;
        v[axis] = removed[q] - kept[q];
        s.particles.push_back(at(along(kept[q]), v));
      }
      advance(s, {}, {}, 1);
      std::vector<double> survivors;
      for (const Particle& p : s.particles) survivors.push_back(p.pos[axis]);
      std::sort(survivors.begin(), survivors.end());
      EXPECT_EQ(survivors, (std::vector<double>{kept[0], kept[1]}))
          << "axis " << axis << " on [" << g.lo << ", " << g.hi << "]";
    }
  }
}

TEST(RemoveDeadParticles, TheLastLiveParticlesFillTheHoles) {
  const struct {
    std::vector<double> weights;  // particle q carries x = q + 1 to identify it
    std::vector<double> kept;     // x of the survivors, in list order
  } cases[] = {
      {{0, 1, 0, 1, 1}, {5, 2, 4}},  // [P1..P5], P1 and P3 dead
      {{0, 0, 0}, {}},
      {{1, -1, NAN, 1}, {1, 4}},
      {{0, 1, 1, 0}, {3, 2}},  // the dead last particle is copied over P1 and examined again
      {{1, 1, 0, 1, 0, 1}, {1, 2, 6, 4}},
  };
  for (const auto& c : cases) {
    std::vector<Particle> list;
    std::size_t first_dead = c.weights.size();
    for (std::size_t q = 0; q < c.weights.size(); ++q) {
      list.push_back(at({q + 1.0, 0, 0}, {}, c.weights[q]));
      if (!(c.weights[q] > 0) && first_dead == c.weights.size()) first_dead = q;
    }
    std::vector<Particle> from_first_dead = list;  // advance starts the pass there
    removeDeadParticles(list);
    removeDeadParticlesFrom(from_first_dead, first_dead);
    for (const auto* result : {&list, &from_first_dead}) {
      std::vector<double> kept;
      for (const Particle& p : *result) kept.push_back(p.pos.x);
      EXPECT_EQ(kept, c.kept);
    }
  }
}

// Particles thrown at a sphere and a ring for several steps: skipping the
// query in clear parts of cells gives exactly the lists the query alone gives,
// and any team the same list as one thread.
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
    fast.particles = full.particles = start;
    for (int step = 0; step < 4; ++step) {
      advance(fast, objects, clear, team);
      advance(full, objects, {}, team);
    }
    if (team == 1) one_thread = full.particles;
    ASSERT_LT(full.particles.size(), start.size() * 9 / 10);  // the objects and the walls took many
    for (const std::vector<Particle>* other : {&fast.particles, &one_thread}) {
      ASSERT_EQ(other->size(), full.particles.size()) << team;
      EXPECT_EQ(std::memcmp(other->data(), full.particles.data(), full.particles.size() * sizeof(Particle)), 0) << team;
    }
  }
}

}  // namespace
