// Particle lists, their tiles and restoring, and the loading and injection of particles.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/ParticleList.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/TileGrid.h"
#include "particles/deposition.h"
#include "particles/injection.h"
#include "particles/push.h"
#include "particles/random.h"

using namespace plasmabox;

namespace {

// Random particles, a few off the mesh (NaN, on xm, outside); vel.x names each.
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

// A list rebuilt from its checkpointed particles and order goes on bit for bit.
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

// A checkpoint's generator state draws on as before; a continuation stream is
// fixed by its seed, process and step.
TEST(RandomState, PutBackItDrawsOnAsBeforeAndContinuationStreamsAreTheirOwn) {
  seedRandom(77);
  for (int n = 0; n < 1000; ++n) rnd();  // inside the generator's block of 624 words
  const std::vector<uint32_t> state = randomState();
  std::vector<double> next;
  for (int n = 0; n < 700; ++n) next.push_back(rnd());  // across a refill of the block
  seedRandom(5);
  setRandomState(state, 77);
  EXPECT_EQ(randomSeed(), 77u);
  for (int n = 0; n < 700; ++n) ASSERT_EQ(rnd(), next[static_cast<std::size_t>(n)]) << n;
  EXPECT_THROW(setRandomState(std::vector<uint32_t>(state.begin(), state.begin() + 600), 77), std::invalid_argument);

  auto firstDraws = [](uint32_t seed, int rank, int size, int32_t step) {
    useContinuationStream(seed, rank, size, step);
    return std::vector<double>{rnd(), rnd(), rnd()};
  };
  const std::vector<double> a = firstDraws(77, 1, 3, 40);
  EXPECT_EQ(firstDraws(77, 1, 3, 40), a);
  EXPECT_NE(firstDraws(77, 1, 3, 41), a);
  EXPECT_NE(firstDraws(77, 0, 3, 40), a);
  useProcessStream(77, 1, 3);
  EXPECT_NE(rnd(), a[0]);
}

TEST(AddParticle, KeepsExactlyThePositionsInsideTheMeshCells) {
  Cube w(4, 0.0, 0.9);
  // One rounding step below xm maps to the last node, whose cell is off the mesh.
  for (const auto& [pos, stored] : {std::pair{Vec3{0, 0, 0}, true}, {Vec3{0.45, 0.9, 0.45}, false},
                                    {Vec3{0.45, NAN, 0.45}, false}, {Vec3{std::nextafter(0.9, 0.0), 0.45, 0.45}, false},
                                    {Vec3{std::nextafter(std::nextafter(0.9, 0.0), 0.0), 0.45, 0.45}, true}}) {
    Species s("e-", ME, -QE, 50, w);
    addParticle(s, pos, {1, 2, 3}, 7.0);
    EXPECT_EQ(s.particles.size(), stored ? 1u : 0u) << pos.x << " " << pos.y;
  }
  setUpCube(w, 0.0, 0.03, 1e-11);  // in a field the velocity is set back half a step
  for (Vec3& e : w.ef.data) e = {1000.0, -2000.0, 0.0};  // V/m
  Species s("e-", ME, -QE, 50, w);
  addParticle(s, {0.01, 0.02, 0.0}, {10.0, 0.0, 0.0}, 50.0);  // on a node: E exact
  const double k = (-QE / ME) * (0.5 * 1e-11);
  EXPECT_EQ(listOf(s).at(0).vel, (Vec3{10.0 - k * 1000.0, 0.0 - k * -2000.0, 0.0}));
}

// Counts that cannot be stored are refused before allocating, naming species and count.
TEST(LoadParticlesBox, CreatesCeilOfTheMacroParticleCountAndPrintsIt) {
  const struct {
    const char* what;
    Vec3 x1, x2;
    double num_den;  // m^-3; with mpw0 = 1, density times volume is the macro-particle count
    std::size_t count;
    const char* line;
    const char* refusal;  // the message up to the count, "" when the load succeeds
  } cases[] = {
      {"2.5 particles", {0, 0, 0}, {1, 1, 0.5}, 5.0, 3, "1 2.5 2.5\n", ""},
      {"exactly 3", {0, 0, 0}, {1, 1, 1}, 3.0, 3, "1 3 3\n", ""},
      {"none", {0, 0, 0}, {1, 1, 1}, 0.0, 0, "1 0 0\n", ""},
      {"corners reversed along all axes", {1, 1, 1}, {0, 0, 0.5}, 5.0, 3, "1 2.5 2.5\n", ""},
      {"1e15, which would take 64 PB", {0, 0, 0}, {1, 1, 1}, 1e15, 0, "1 1e+15 1e+15\n",
       "loadParticlesBox: species \"O+\" would need 1e+15"},
      {"NaN", {0, 0, 0}, {1, 1, 1}, NAN, 0, "1 nan nan\n", "loadParticlesBox: species \"O+\" would need nan"},
  };
  Cube w(5, 0.0, 1.0);
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 1, w);
    const Loaded r = loadBox(s, c.x1, c.x2, c.num_den);
    EXPECT_EQ(r.out, c.line) << c.what;
    EXPECT_EQ(r.error.substr(0, r.error.find(" more macro-particles")), c.refusal) << r.error;
    ASSERT_EQ(s.particles.size(), c.count) << c.what;
    EXPECT_TRUE(!*c.refusal || s.particles.pool.capacity() == 0) << c.what;
    for (const Particle& p : listOf(s)) EXPECT_LE(std::fabs(2 * p.pos.z - c.x1.z - c.x2.z), std::fabs(c.x2.z - c.x1.z)) << c.what;
  }
}

// Count: |drift| n A dt / w plus one uniform draw, truncated; then two
// position draws per particle.
TEST(InjectFromPlane, PlacesParticlesOnThePlaneWithTheDriftAlongItsNormal) {
  const struct {
    int dim, fixed_axis, first, second;  // in-plane axes drawn in this order
  } cases[] = {{1, 2, 0, 1}, {2, 0, 1, 2}, {3, 1, 0, 2}};
  Cube w(5, 0.0, 4.0, 0.5);
  const Vec3 x1{0.5, 1.0, 1.5}, x2{3.5, 3.0, 3.5}, d = x2 - x1;
  for (const auto& c : cases) {
    Species s("O+", 16 * AMU, QE, 0.25, w);
    Source src{&s, &w, -2.0, 0.7};  // |-2 * 0.7| * 0.5 s / 0.25 = 2.8 per m^2
    seedRandom(99);
    std::mt19937 reference(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    injectFromPlane(src, c.dim, x1, x2);
    ASSERT_EQ(s.particles.size(), static_cast<std::size_t>(2.8 * d[c.first] * d[c.second] + unit(reference)));
    for (const Particle& p : listOf(s)) {
      Vec3 expected = x1, v{};
      expected[c.first] = x1[c.first] + unit(reference) * d[c.first];
      expected[c.second] = x1[c.second] + unit(reference) * d[c.second];
      v[c.fixed_axis] = -2.0;  // the velocity keeps the sign of the drift speed
      EXPECT_TRUE(p.pos == expected && p.vel == v && p.weight == 0.25) << "dim " << c.dim;
    }
  }
  Species s("e-", ME, -QE, 1, w);  // an unknown plane selector injects nothing
  Source src{&s, &w, 1.0, 1.0};
  injectFromPlane(src, 4, {0, 0, 0}, {2, 2, 2});
  EXPECT_TRUE(s.particles.empty());
  src.inject_density = std::numeric_limits<double>::infinity();  // inf * 0 particles: refused before allocating
  EXPECT_THROW(injectFromPlane(src, 2, {0, 0, 0}, {0, 0, 1}), std::length_error);
  EXPECT_EQ(s.particles.pool.capacity(), 0u);
}

}  // namespace
