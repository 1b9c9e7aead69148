#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "mesh/constants.h"
#include "particle_test_world.h"
#include "particles/Species.h"
#include "particles/currentDensity.h"
#include "particles/deposition.h"
#include "particles/meshCells.h"
#include "particles/push.h"

using namespace plasmabox;

namespace {

// The current uses the mean of this and the previous density; the sums over
// the species take them in list order, and a neutral one contributes nothing.
TEST(ChargeAndCurrentDensity, MeanOfTwoDepositionsSummedOverTheChargedSpecies) {
  Cube w(3, 0.0, 2.0);
  Species s("O+", 16 * AMU, QE, 50, w);
  setParticles(s, {at({1, 1, 1}, {2, 0, -1}, 4.0)});
  computeGasProperties(s, 1);
  const double h = 0.5 * QE;
  const std::size_t q = s.den.index(1, 1, 1);
  EXPECT_EQ(currentDensityAt(s, q), (Vec3{(h * 4.0) * 2.0, 0.0, (h * 4.0) * -1.0}));  // first call: den_prev is 0
  setParticles(s, {at({1, 1, 1}, {2, 0, -1}, 6.0)});
  computeGasProperties(s, 1);
  EXPECT_EQ(currentDensityAt(s, q).x, (h * (6.0 + 4.0)) * 2.0);

  std::vector<Species> list;
  list.reserve(3);
  for (double charge : {QE, -QE, 0.0}) {
    Species& t = list.emplace_back(charge > 0 ? "O+" : charge < 0 ? "e-" : "n", 16 * AMU, charge, 50, w);
    setParticles(t, {at({0.25, 1.5, 1.0}, {1, 2, 3}, 50.0)});
    computeGasProperties(t, 2);
  }
  w.rho.data.assign(w.rho.size(), 99.0);  // stale values must not survive
  computeChargeDensity(w, list);
  for (double r : w.rho.data) EXPECT_EQ(r, 0.0);  // +e and -e at equal density
  computeCurrentDensity(w, list);
  for (std::size_t n = 0; n < w.j_total.size(); ++n)
    EXPECT_EQ(w.j_total.data[n], currentDensityAt(list[0], n) + currentDensityAt(list[1], n));
}

// The paths to a deposition: loaded in random order; pushed with deposition,
// then appended to; pushed without; a slab of plasma (half the tile colours
// empty). Some particles cross two cells; a few lie off the cells.
enum class ListState { LOADED, PUSHED_DEPOSITING, PUSHED_ONLY, SLAB };
const ListState STATES[] = {ListState::LOADED, ListState::PUSHED_DEPOSITING, ListState::PUSHED_ONLY, ListState::SLAB};

struct DepositionCase {
  std::unique_ptr<World> world = std::make_unique<World>(14, 11, 9);  // 13 x 10 x 8 cells: tiles at the edges are partial
  std::vector<Particle> particles, appended;
};

DepositionCase depositionCase(ListState state) {
  DepositionCase c;
  c.world->grid.setExtents({-0.4, 0.0, 1.0}, {0.9, 0.5, 1.8});
  c.world->dt = 0.05;  // s: up to 0.1 m along y, two cells
  std::mt19937 gen(17);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const Grid& g = c.world->grid;
  const auto inside = [&] { return Vec3{g.x0.x + u(gen) * (g.xm.x - g.x0.x), g.x0.y + u(gen) * (g.xm.y - g.x0.y),
                                        g.x0.z + u(gen) * (g.xm.z - g.x0.z)}; };
  // 40,000: enough for the whole team to deposit them.
  for (int q = 0; q < 40000; ++q) c.particles.push_back(at(inside(), {u(gen) - 0.5, 2 * u(gen), -u(gen)}, 1 + 99 * u(gen)));
  if (state == ListState::SLAB)  // the first three cells along x: tiles with even x only
    for (Particle& p : c.particles) p.pos.x = g.x0.x + (p.pos.x - g.x0.x) * 3.0 / 13.0;
  std::vector<Particle>& off_cells = state == ListState::LOADED || state == ListState::SLAB ? c.particles : c.appended;
  for (const Vec3& p : {g.xm, Vec3{NAN, 0.2, 1.2}, Vec3{-1.0, 0.2, 1.2}, Vec3{0.1, 0.2, INFINITY}})
    off_cells.insert(off_cells.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(off_cells.size(), 3)),
                     at(p, {1, 1, 1}, 10.0));
  if (state == ListState::PUSHED_DEPOSITING || state == ListState::PUSHED_ONLY)
    for (int q = 0; q < 500; ++q) c.appended.push_back(at(inside(), {1, 0, 0}, 5.0));  // injected after the push
  return c;
}

// One step of the case's deposition with `moments` on `team` threads.
void depositStep(Species& s, const DepositionCase& c, ListState state, Moments moments, int team) {
  if (state == ListState::PUSHED_DEPOSITING || state == ListState::PUSHED_ONLY) {
    advance(s, {}, {}, team, false, nullptr,
            state == ListState::PUSHED_DEPOSITING ? std::optional<Moments>(moments) : std::nullopt);
    for (const Particle& p : c.appended) s.particles.append(p);
  }
  computeGasProperties(s, team, moments);
}

template <class T>
bool sameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(T)) == 0;
}

// Any team deposits the same bits; the density alone equals the full moments' density.
TEST(ComputeGasProperties, AnyTeamSizeGivesTheSameBits) {
  for (ListState state : STATES) {
    const DepositionCase c = depositionCase(state);
    std::vector<Species> results;
    for (int team : {1, 2, 3, 5, 8, 60})
      for (Moments moments : {Moments::FULL, Moments::DENSITY}) {
        Species& s = results.emplace_back("e-", ME, -QE, 50, *c.world);
        setParticles(s, c.particles);
        depositStep(s, c, state, moments, team);
        depositStep(s, c, state, moments, team);  // a second step: den_prev too
      }
    for (std::size_t r = 1; r < results.size(); ++r) {
      const Species &a = results[0], &b = results[r];
      EXPECT_TRUE(sameBits(a.den.data, b.den.data) && sameBits(a.den_prev.data, b.den_prev.data))
          << int(state) << " " << r;
      if (r % 2 == 0) {
        EXPECT_TRUE(sameBits(a.vel.data, b.vel.data)) << int(state) << " " << r;
      }
    }
  }
}

// Whatever the path, den and vel agree with a serial scatter to 1e-12 of the
// absolute shares, and the deposited weight is that of the particles on cells.
TEST(ComputeGasProperties, EveryPathDepositsTheListsParticlesToRounding) {
  for (ListState state : STATES) {
    const DepositionCase c = depositionCase(state);
    Species s("e-", ME, -QE, 50, *c.world);
    setParticles(s, c.particles);
    depositStep(s, c, state, Moments::FULL, 2);
    const Grid& g = c.world->grid;
    Field sum_w(g.ni, g.nj, g.nk), abs_w(g.ni, g.nj, g.nk);
    VectorField sum_v(g.ni, g.nj, g.nk), abs_v(g.ni, g.nj, g.nk);
    double total = 0.0;
    for (const Particle& p : listOf(s)) {
      if (!insideMeshCells(g, p.pos)) continue;
      const Vec3 l = g.toLogical(p.pos);
      scatter(sum_w, l, p.weight);
      scatter(abs_w, l, std::fabs(p.weight));
      scatter(sum_v, l, p.weight * p.vel);
      scatter(abs_v, l, Vec3{std::fabs(p.weight * p.vel.x), std::fabs(p.weight * p.vel.y), std::fabs(p.weight * p.vel.z)});
      total += p.weight;
    }
    double deposited = 0.0;
    for (std::size_t n = 0; n < s.den.size(); ++n) {
      const double vol = g.node_vol.data[n];
      deposited += s.den.data[n] * vol;
      ASSERT_LE(std::fabs(s.den.data[n] - sum_w.data[n] / vol), 1e-12 * abs_w.data[n] / vol) << n;
      if (sum_w.data[n] == 0.0) continue;
      for (int a = 0; a < 3; ++a) {
        const double v = sum_v.data[n][a] / sum_w.data[n];
        const double bound = 1e-12 * (abs_v.data[n][a] + std::fabs(v) * abs_w.data[n]) / std::fabs(sum_w.data[n]);
        ASSERT_LE(std::fabs(s.vel.data[n][a] - v), bound) << n << " " << a;
      }
    }
    EXPECT_NEAR(deposited, total, 1e-9 * total) << int(state);
    EXPECT_GT(total, 0.5 * 40000 * 50) << int(state);
  }
}

}  // namespace
