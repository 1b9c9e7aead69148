#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/ParticleBins.h"
#include "particles/ParticleBuffer.h"
#include "particles/Species.h"
#include "particles/TileGrid.h"
#include "particles/reserveParticles.h"
#include "particles/sortParticles.h"

using namespace plasmabox;

namespace {

// Random particles over the mesh and a few off it (NaN, on xm, outside).
std::vector<Particle> scattered(const Grid& g, int count, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Particle> list;
  for (int q = 0; q < count; ++q) {
    Vec3 p;
    for (int a = 0; a < 3; ++a) p[a] = g.x0[a] + u(gen) * (g.xm[a] - g.x0[a]);
    if (q % 997 == 0) p = q % 2 ? g.xm : Vec3{NAN, p.y, p.z};
    if (q % 991 == 0) p.x = g.x0.x - 1.0;
    list.push_back(at(p, {double(q), 0, 0}));  // vel.x names the particle
  }
  return list;
}

TEST(TileGrid, TilesOfOneColourShareNoNode) {
  // Small meshes get tiles of 4 cells; one with 199^3 cells gets tiles of 8.
  for (const auto& n : {std::array<int, 3>{2, 2, 2}, {5, 9, 14}, {13, 2, 30}, {200, 200, 200}}) {
    Grid g(n[0], n[1], n[2]);
    const TileGrid t = tileGrid(g);
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
          ASSERT_TRUE(number >= t.colour_start[tile[3]] && number < t.colour_start[tile[3] + 1]);
        }
    for (std::size_t a = 0; a < seen.size(); ++a)
      for (std::size_t b = a + 1; b < seen.size() && n[0] < 100; ++b)
        if (seen[a][3] == seen[b][3]) {  // same colour: some axis two or more tiles apart
          ASSERT_TRUE(std::abs(seen[a][0] - seen[b][0]) >= 2 || std::abs(seen[a][1] - seen[b][1]) >= 2 ||
                      std::abs(seen[a][2] - seen[b][2]) >= 2);
        }
  }
}

TEST(BinParticles, EachBinHoldsItsParticlesInListOrderWhateverTheTeam) {
  Grid g(12, 7, 9);
  g.setExtents({0, 0, 0}, {1.1, 0.6, 0.8});
  const TileGrid t = tileGrid(g);
  const std::vector<Particle> list = scattered(g, 5000, 3);
  std::vector<uint32_t> subset;
  for (uint32_t q = 0; q < list.size(); q += 3) subset.push_back(q);
  ParticleBins reference;
  binParticles(reference, t, g, list, 1);
  for (int team : {1, 2, 3, 16}) {
    for (bool whole : {true, false}) {
      ParticleBins b;
      whole ? binParticles(b, t, g, list, team) : binParticleSubset(b, t, g, list, subset, team);
      const std::size_t items = whole ? list.size() : subset.size();
      ASSERT_EQ(b.start.back(), items);
      std::multiset<uint32_t> indices(b.order.begin(), b.order.end());
      for (uint32_t bin = 0; bin <= t.count(); ++bin)
        for (uint32_t q = b.start[bin]; q < b.start[bin + 1]; ++q) {
          const uint32_t index = b.order[q];
          int32_t i, j, k;
          const bool in = cellOf(t, g.toLogical(list[index].pos), i, j, k);
          ASSERT_EQ(bin, in ? t.tileOf(i, j, k) : t.count());
          ASSERT_TRUE(q == b.start[bin] || b.order[q - 1] < index) << "list order within bin " << bin;
        }
      ASSERT_EQ(indices.size(), items);
      ASSERT_EQ(std::set<uint32_t>(indices.begin(), indices.end()).size(), items);  // each once
      EXPECT_TRUE(!whole || b.order == reference.order) << team;  // the whole list: as one thread bins it
    }
    // The shares of a team cover every bin once, in order.
    for (int colour = 0; colour < 8; ++colour) {
      uint32_t next = t.colour_start[colour];
      for (int u = 0; u < team; ++u) {
        const BinRange r = threadShare(reference.start.data(), t.colour_start[colour], t.colour_start[colour + 1], u, team);
        ASSERT_EQ(r.lo, next);
        ASSERT_LE(r.lo, r.hi);
        next = r.hi;
      }
      ASSERT_EQ(next, t.colour_start[colour + 1]);
    }
  }
}

// Expected: the stable sort of the list by (tile, cell within the tile, k
// fastest), particles off the cells last.
TEST(SortParticlesByCell, StableByTileThenCellOffTheCellsLast) {
  World w(14, 6, 11);
  w.grid.setExtents({-1, 0, 2}, {1.6, 0.5, 3});
  const TileGrid t = tileGrid(w.grid);
  const std::vector<Particle> list = scattered(w.grid, 20000, 9);
  const auto key = [&](const Particle& p) {
    int32_t i, j, k;
    if (!cellOf(t, w.grid.toLogical(p.pos), i, j, k)) return uint64_t{t.count()} << 32;
    return uint64_t{t.tileOf(i, j, k)} << 32 | uint64_t((i % t.edge * t.edge + j % t.edge) * t.edge + k % t.edge);
  };
  std::vector<Particle> expected = list;
  std::stable_sort(expected.begin(), expected.end(), [&](const Particle& a, const Particle& b) { return key(a) < key(b); });
  for (int team : {1, 2, 7}) {
    Species s("O+", 16 * AMU, QE, 50, w);
    s.particles = list;
    sortParticlesByCell(s, team);
    ASSERT_EQ(s.particles.size(), expected.size());
    EXPECT_EQ(std::memcmp(s.particles.data(), expected.data(), expected.size() * sizeof(Particle)), 0) << team;
    EXPECT_EQ(s.tiles.sorted_start.size(), t.count() + 2u);
    EXPECT_GE(s.particles.capacity(), list.size());
  }
}

TEST(ReserveParticles, GrowsWithRoomToSpareAndKeepsTheParticles) {
  std::vector<Particle> list;
  for (int q = 0; q < 1000; ++q) list.push_back(at({double(q), 0, 0}, {}));
  const std::vector<Particle> before = list;
  const std::size_t capacity = list.capacity();
  reserveParticles(list, 500);  // room enough: nothing changes
  EXPECT_EQ(list.capacity(), capacity);
  reserveParticles(list, 4000);
  EXPECT_GE(list.capacity(), 5000u);
  ASSERT_EQ(list.size(), before.size());
  EXPECT_EQ(std::memcmp(list.data(), before.data(), before.size() * sizeof(Particle)), 0);
  ParticleBuffer room;
  Particle* const p = room.room(3000);
  p[2999] = before[999];
  EXPECT_EQ(room.room(100), p);  // kept, never shrunk
  EXPECT_EQ(p[2999].pos.x, 999.0);
}

}  // namespace
