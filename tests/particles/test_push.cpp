#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/findClearCells.h"
#include "geometry/testMeshes.h"
#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/TileGrid.h"
#include "particles/meshCells.h"
#include "particles/push.h"

using namespace plasmabox;

namespace {

TEST(Advance, ZeroFieldDriftsUniformFieldAcceleratesThenMoves) {
  Cube w(5, 0.0, 4.0, 0.5);
  Species s("O+", 16 * AMU, QE, 50, w);
  setParticles(s, {at({1, 1, 1}, {1, -0.5, 0.25})});
  advance(s, {}, {}, 2);
  EXPECT_EQ(listOf(s).at(0).pos, (Vec3{1.5, 0.75, 1.125}));
  EXPECT_EQ(listOf(s)[0].vel, (Vec3{1, -0.5, 0.25}));

  const double dt = 1e-9, e = 250.0;  // s, V/m along x: uniform field
  setUpCube(w, 0.0, 0.04, dt);
  for (Vec3& f : w.ef.data) f = {e, 0, 0};
  Species el("e-", ME, -QE, 50, w);
  setParticles(el, {at({0.02, 0.02, 0.02}, {1e4, 0, 0})});
  double vx = 1e4, x = 0.02;
  for (int step = 0; step < 3; ++step) {
    advance(el, {}, {}, 1);
    vx = vx + (-QE * dt / ME) * e;
    x = x + dt * vx;
    ASSERT_EQ(el.particles.size(), 1u);
    EXPECT_TRUE(listOf(el)[0].vel.x == vx && listOf(el)[0].pos.x == x) << step;
  }
}

// Particles that leave the mesh are dropped; those that end in an object are
// also counted for it, weighted, whatever the team, and the push leaves their
// velocity at impact and the object's index in its list of movers.
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

// Particles that leave their tile's bin (here: without weight, so dropped)
// leave holes that the bin's last particles fill, from the last hole down.
TEST(Advance, TheLastParticlesOfATileFillTheHolesOfThoseThatLeft) {
  const struct {
    std::vector<double> weights;  // particle q carries x = q + 1 to identify it
    std::vector<double> kept;     // x of the survivors, in list order
  } cases[] = {
      {{0, 1, 0, 1, 1}, {4, 2, 5}},  // [P1..P5], P1 and P3 gone: P5 fills P3's place, then P4 P1's
      {{0, 0, 0}, {}},
      {{1, -1, NAN, 1}, {1, 4}},
      {{0, 1, 1, 0}, {3, 2}},  // the last one left: P3 is the last left to fill P1's place
      {{1, 1, 0, 1, 0, 1}, {1, 2, 6, 4}},
  };
  Cube w(5, 0.0, 8.0, 1.0);  // four cells per axis: one tile
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 50, w);
    std::vector<Particle> list;
    for (std::size_t q = 0; q < c.weights.size(); ++q) list.push_back(at({q + 1.0, 1, 1}, {}, c.weights[q]));
    setParticles(s, list);
    advance(s, {}, {}, 2);
    std::vector<double> kept;
    for (const Particle& p : listOf(s)) kept.push_back(p.pos.x);
    EXPECT_EQ(kept, c.kept);
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

// A thermal cloud with some fast particles in a field that varies from node
// to node, pushed for several steps on the tiles: every particle takes
// exactly the path the leapfrog gives it pushed alone in a plain loop (the
// same gather and arithmetic), none is lost or doubled, and after every step
// each tile's bin holds only particles in that tile's cells.
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
