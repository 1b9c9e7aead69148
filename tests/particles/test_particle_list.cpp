#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/ParticleList.h"
#include "particles/Species.h"
#include "particles/TileGrid.h"
#include "particles/deposition.h"
#include "particles/push.h"

using namespace plasmabox;

namespace {

// Random particles over the mesh and a few off it (NaN, on xm, outside);
// vel.x names the particle.
std::vector<Particle> scattered(const Grid& g, int count, unsigned seed, double speed = 0.0) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Particle> list;
  for (int q = 0; q < count; ++q) {
    Vec3 p;
    for (int a = 0; a < 3; ++a) p[a] = g.x0[a] + u(gen) * (g.xm[a] - g.x0[a]);
    if (q % 997 == 0) p = q % 2 ? g.xm : Vec3{NAN, p.y, p.z};
    if (q % 991 == 0) p.x = g.x0.x - 1.0;
    list.push_back(at(p, {double(q), speed * (u(gen) - 0.5), speed * (u(gen) - 0.5)}, 1.0 + u(gen)));
  }
  return list;
}

TEST(TileGrid, TilesOfOneColourShareNoNode) {
  // Tiles of 4 cells, the smallest; one with 199^3 cells gets tiles of 8.
  for (const auto& n : {std::array<int, 3>{2, 2, 2}, {5, 9, 14}, {13, 2, 30}, {200, 200, 200}}) {
    Grid g(n[0], n[1], n[2]);
    const TileGrid t = tileGrid(g, 4);
    ASSERT_LE(t.count(), MAX_TILES);
    EXPECT_EQ(t.edge, n[0] == 200 ? 8 : 4);
    std::vector<std::array<int, 4>> seen(t.count(), {-1, -1, -1, -1});  // tile coordinates and colour per number
    for (int i = 0; i < t.cells[0]; ++i)
      for (int j = 0; j < t.cells[1]; ++j)
        for (int k = 0; k < t.cells[2]; ++k) {
          const uint32_t number = t.tileOf(i, j, k);
          ASSERT_LT(number, t.count());
          const std::array<int, 4> tile = {i / t.edge, j / t.edge, k / t.edge,
                                           (i / t.edge & 1) | (j / t.edge & 1) << 1 | (k / t.edge & 1) << 2};
          ASSERT_TRUE(seen[number][0] < 0 || seen[number] == tile) << "two tiles share number " << number;
          seen[number] = tile;
          ASSERT_EQ(tileColour(t, number), tile[3]);
          int32_t corner[3];
          tileCorner(t, number, corner);
          ASSERT_TRUE(corner[0] == tile[0] * t.edge && corner[1] == tile[1] * t.edge && corner[2] == tile[2] * t.edge);
        }
    // Same colour: some axis two or more tiles apart, so that with edges of
    // 4 the nodes of the cells one cell around two such tiles are apart too.
    for (std::size_t a = 0; a < seen.size(); ++a)
      for (std::size_t b = a + 1; b < seen.size() && n[0] < 100; ++b)
        if (seen[a][3] == seen[b][3]) {
          ASSERT_TRUE(std::abs(seen[a][0] - seen[b][0]) >= 2 || std::abs(seen[a][1] - seen[b][1]) >= 2 ||
                      std::abs(seen[a][2] - seen[b][2]) >= 2);
        }
  }
}

TEST(ThreadShare, TheSharesOfATeamCoverEveryBinOnceInOrder) {
  const std::vector<uint32_t> start = {0, 0, 5, 5, 6, 20, 20, 21, 40, 40};
  for (int team : {1, 2, 3, 16})
    for (const auto& [first, last] : {std::pair{0u, 9u}, {2u, 7u}, {3u, 3u}}) {
      uint32_t next = first;
      for (int u = 0; u < team; ++u) {
        const BinRange r = threadShare(start.data(), first, last, u, team);
        ASSERT_EQ(r.lo, next);
        ASSERT_LE(r.lo, r.hi);
        next = r.hi;
      }
      ASSERT_EQ(next, last);
    }
}

// Placing appended particles: each tile's bin gets its particles in list
// order, those off the cells stay unplaced in theirs, and the list order is
// the bins' order. The placement reuses the blocks it empties: it needs no
// room for a second copy of the list.
TEST(ParticleList, PlacingKeepsListOrderWithinEachBinAndNeedsNoSecondCopy) {
  World w(14, 6, 11);
  w.grid.setExtents({-1, 0, 2}, {1.6, 0.5, 3});
  const std::vector<Particle> start = scattered(w.grid, 20000, 9);
  Species s("O+", 16 * AMU, QE, 50, w);
  setParticles(s, start);
  EXPECT_TRUE(sameParticles(listOf(s), start));
  const std::size_t blocks_before = s.particles.pool.capacity();
  placeAppended(s.particles, w.grid);
  const ParticleList& list = s.particles;
  std::vector<std::vector<Particle>> expected(list.binCount());
  for (const Particle& p : start) {
    int32_t i, j, k;
    expected[cellOf(list.tiles, w.grid.toLogical(p.pos), i, j, k) ? list.tiles.tileOf(i, j, k) : list.unplacedBin()]
        .push_back(p);
  }
  std::vector<Particle> order;
  for (const std::vector<Particle>& bin : expected) order.insert(order.end(), bin.begin(), bin.end());
  EXPECT_TRUE(sameParticles(listOf(s), order));
  EXPECT_EQ(list.size(), start.size());
  EXPECT_GT(list.counts[list.unplacedBin()], 30u);  // NaN, xm and x0 - 1: still unplaced
  // A block at most per bin beyond the particles themselves.
  EXPECT_LE(list.pool.capacity(), blocks_before + list.binCount() + BlockPool::BLOCKS_PER_CHUNK);
  EXPECT_TRUE(sameParticles(everyNth(list, 7, 1000, 20), [&] {
    std::vector<Particle> every;
    for (std::size_t q = 7; q < order.size(); q += 1000) every.push_back(order[q]);
    return every;
  }()));
}

// What a checkpoint keeps of a list, the particles in list order and its
// ParticleOrder, rebuilds a list that goes on bit for bit as the original:
// the same particles and the same sums in every later step.
TEST(ParticleList, ItsOrderRestoresAListThatGoesOnExactly) {
  World w(17, 13, 9);
  w.grid.setExtents({0, 0, 0}, {1.6, 1.2, 0.8});
  w.dt = 0.2;  // the particles below cross a cell every few steps
  for (std::size_t q = 0; q < w.ef.size(); ++q) w.ef.data[q] = {std::sin(0.2 * q), 0.3, std::cos(0.5 * q)};
  Species original("e-", 1.0, -1.0, 1, w);
  setParticles(original, scattered(w.grid, 30000, 4, 0.4));
  for (int step = 0; step < 3; ++step) {
    advance(original, {}, {}, 2, false, nullptr, Moments::DENSITY);
    computeGasProperties(original, 2, Moments::DENSITY);
  }
  Species restored("e-", 1.0, -1.0, 1, w);
  restoreParticles(restored.particles, listOf(original), particleOrder(original.particles), w.grid);
  restored.den.data = original.den.data;  // the density the next step's den_prev takes
  for (int step = 0; step < 3; ++step)
    for (Species* s : {&original, &restored}) {
      advance(*s, {}, {}, 3, false, nullptr, Moments::FULL);
      computeGasProperties(*s, 3, Moments::FULL);
    }
  EXPECT_TRUE(sameParticles(listOf(original), listOf(restored)));
  EXPECT_EQ(original.den.data, restored.den.data);
  EXPECT_EQ(original.den_prev.data, restored.den_prev.data);

  // An order that does not fit the list is refused, naming what does not fit.
  const std::vector<Particle> particles = listOf(original);
  const ParticleOrder good = particleOrder(original.particles);
  ParticleOrder other_edge = good, fewer_bins = good, wrong_sum = good, wrong_tile = good;
  other_edge.tile_edge = 2 * good.tile_edge;
  fewer_bins.counts.pop_back();
  wrong_sum.counts[0] += 1;
  uint32_t first = 0;
  while (wrong_tile.counts[first] == 0) ++first;
  wrong_tile.counts[first] -= 1, wrong_tile.counts[first + 1] += 1;  // its last particle counted in the next tile
  const std::pair<const ParticleOrder*, std::string> refused[] = {
      {&other_edge, "tiles of " + std::to_string(2 * good.tile_edge) + " cells"}, {&fewer_bins, "bins, the mesh has"},
      {&wrong_sum, "particles, there are"}, {&wrong_tile, "is not in tile"}};
  for (const auto& [order, message] : refused) {
    Species s("e-", 1.0, -1.0, 1, w);
    try {
      restoreParticles(s.particles, particles, *order, w.grid);
      ADD_FAILURE() << message;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
}

}  // namespace
