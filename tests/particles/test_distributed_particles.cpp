// Particles on slabs: each process keeps those of its cells, and what they
// deposit adds up to what one process holding them all deposits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "geometry/ClearCells.h"
#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/messagePassing.h"
#include "mesh/processReduction.h"
#include "particle_test_world.h"
#include "particles/Source.h"
#include "particles/Species.h"
#include "particles/currentDensity.h"
#include "particles/deposition.h"
#include "particles/injection.h"
#include "particles/meshCells.h"
#include "particles/migrateParticles.h"
#include "particles/push.h"
#include "particles/random.h"
#include "particles/speciesTotals.h"

namespace plasmabox {
namespace {

Decomposition thisRun(int32_t ni) {
  const ProcessPlace place = joinProcesses();
  return splitIntoSlabs(ni, place.rank, place.size);
}

const Vec3 LO{-0.3, 0.0, 1.0}, HI{1.1, 0.5, 1.8};  // m: spacings that round

// Whether the gather on g places p in one of this process's cells.
bool inOwnedCell(const Grid& g, const Vec3& p) {
  const double cell = std::floor(g.toLogical(p).x);
  return insideMeshCells(g, p) && cell >= g.ownedBegin() && cell < g.ownedEnd();
}

// Slabs of two planes; positions on and next to every plane, where rounding decides.
TEST(DistributedParticles, MigrationHandsEveryParticleToItsOwnerOnce) {
  const Decomposition d = thisRun(2 * joinProcesses().size);
  World w(d, 3, 4);
  w.grid.setExtents(LO, HI);
  const Grid& g = w.grid;
  std::vector<double> xs;
  for (int32_t p = 0; p < g.gni - 1; ++p) {
    const double x = g.x0.x + p * g.dh.x;
    for (double at : {x, std::nextafter(x, -1e9), std::nextafter(x, 1e9), x + 0.5 * g.dh.x})
      if (at >= g.x0.x && at < g.xm.x) xs.push_back(at);
  }
  const std::vector<double> starts = slabStarts(g, d);
  const int count = static_cast<int>(xs.size());
  Species s("O+", 16 * AMU, QE, 1, w);
  for (int q = 0; q < count; ++q)  // each process starts with its own, bound for the far end of the box
    if (ownerOfPosition(starts, xs[static_cast<std::size_t>(q)]) == d.rank)
      s.particles.append(at({xs[static_cast<std::size_t>(count - 1 - q)], 0.2, 1.3}, {double(q), 1, 2}, q + 1.0));
  s.particles.append(at({xs.back(), 0.2, 1.3}, {-1, 0, 0}, 0.0));  // dead: stays where it is
  const MigrationTally tally = migrateParticles(s, 2);

  std::vector<double> seen(static_cast<std::size_t>(count) + 1, 0.0);  // per particle: processes holding it
  for (const Particle& p : listOf(s)) {
    const auto q = static_cast<std::size_t>(p.weight);  // the dead one: 0
    EXPECT_TRUE(q == 0 || inOwnedCell(g, p.pos)) << p.pos.x << " on process " << d.rank;
    EXPECT_EQ(p.vel.x, q - 1.0);  // the whole record travels
    seen[q] += 1.0;
  }
  sumOverProcesses(d, seen);
  std::vector<double> once(seen.size(), 1.0);
  once[0] = d.size;  // each process keeps its dead particle
  EXPECT_EQ(seen, once);
  EXPECT_EQ(sumOverProcesses(d, tally.sent), sumOverProcesses(d, tally.received));
  EXPECT_EQ(tally.bytes_sent, tally.sent * 56);
  EXPECT_EQ(tally.sent > 0, d.distributed());
}

// Pushed, handed on and deposited on slabs: every stored node equals the whole
// mesh's, but for the order of the sums.
TEST(DistributedParticles, SlabsPushAndDepositWhatTheWholeMeshDoes) {
  const int32_t ni = 11, nj = 6, nk = 5;
  const Decomposition d = thisRun(ni);
  World whole(ni, nj, nk), slab(d, nj, nk);
  for (World* w : {&whole, &slab}) {
    w->grid.setExtents(LO, HI);
    w->dt = 1.0;  // s: the particles cross up to 1.5 cells per step
    for (Vec3& e : w->ef.data) e = {1e-8, 0.0, 0.0};
  }
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Particle> all;
  for (int q = 0; q < 6000; ++q)  // positive velocities and weights: no cancellation in the sums
    all.push_back(at({LO.x + u(gen) * (HI.x - LO.x), LO.y + u(gen) * (HI.y - LO.y), LO.z + u(gen) * (HI.z - LO.z)},
                     {0.05 + 0.15 * u(gen), 1e-3 * u(gen), 1e-3 * u(gen)}, 1 + u(gen)));
  const std::vector<double> starts = slabStarts(slab.grid, d);
  std::vector<Species> one, mine;
  one.emplace_back("O+", 16 * AMU, QE, 1, whole);
  mine.emplace_back("O+", 16 * AMU, QE, 1, slab);
  setParticles(one[0], all);
  for (const Particle& p : all)
    if (ownsPosition(starts, d.rank, p.pos.x)) mine[0].particles.append(p);
  auto close = [](double a, double b) { return std::fabs(a - b) <= 1e-12 * std::fabs(b); };
  for (int step = 0; step < 3; ++step) {
    // Step 1 pushes, then deposits; step 2 deposits while pushing.
    const std::optional<Moments> deposit = step == 2 ? std::optional<Moments>(Moments::FULL) : std::nullopt;
    if (step > 0) {
      advance(one[0], {}, ClearCells{}, 2, false, nullptr, deposit);
      advance(mine[0], {}, ClearCells{}, 2, false, nullptr, deposit);
      migrateParticles(mine[0], 2);
    }
    computeGasProperties(one[0], 2);
    computeGasProperties(mine[0], 2);
    computeChargeDensity(whole, one);
    computeChargeDensity(slab, mine);
    for (int i = 0; i < slab.grid.ni; ++i)
      for (int j = 0; j < nj; ++j)
        for (int k = 0; k < nk; ++k) {
          const std::size_t q = slab.rho.index(i, j, k), r = whole.rho.index(slab.grid.i0 + i, j, k);
          const Vec3 a = currentDensityAt(mine[0], q), b = currentDensityAt(one[0], r);
          ASSERT_TRUE(close(mine[0].den.data[q], one[0].den.data[r]) && close(slab.rho.data[q], whole.rho.data[r]))
              << "node " << slab.grid.i0 + i << " " << j << " " << k << " step " << step;
          for (int c = 0; c < 3; ++c)
            ASSERT_TRUE(close(mine[0].vel.data[q][c], one[0].vel.data[r][c]) && close(a[c], b[c])) << c;
        }
    const std::vector<SpeciesTotal> totals = speciesTotals(mine);
    EXPECT_EQ(totals[0].particles, static_cast<int64_t>(one[0].particles.size())) << "step " << step;
    EXPECT_NEAR(totals[0].kinetic_energy, speciesTotals(one)[0].kinetic_energy, 1e-12 * totals[0].kinetic_energy);
  }
  EXPECT_GT(one[0].particles.size(), 4000u);  // most are still on the mesh
}

// Loading splits the count exactly; injection's counts add up within the draws'
// noise; every particle lands in this process's cells.
TEST(DistributedParticles, LoadingAndInjectionCreateTheWholeCountInOwnedCells) {
  const Decomposition d = thisRun(9);
  World w(d, 5, 5);
  w.grid.setExtents(LO, HI);
  w.dt = 1e-9;
  useProcessStream(11, d.rank, d.size);
  Species s("O+", 16 * AMU, QE, 1, w);
  const Vec3 x1{-0.21, 0.05, 1.1}, x2{0.93, 0.45, 1.75}, e = x1 - x2;
  testing::internal::CaptureStdout();
  loadParticlesBox(s, x2, x1, 10000.5 / std::fabs(e.x * e.y * e.z), {}, 1.0);  // corners reversed: the same box
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(sumOverProcesses(d, static_cast<int64_t>(s.particles.size())), 10001);
  for (const Particle& p : listOf(s)) ASSERT_TRUE(inOwnedCell(w.grid, p.pos)) << p.pos.x;

  struct Face {
    int32_t dim;
    Vec3 x1, x2;
    double area;  // m^2
  };
  for (const Face& f : {Face{1, {0.93, 0.05, 1.5}, {-0.29, 0.45, 1.5}, 1.22 * 0.4},
                        Face{2, {0.4, 0.05, 1.1}, {0.4, 0.45, 1.75}, 0.4 * 0.65}}) {
    Species t("e-", ME, -QE, 1, w);
    Source source{&t, &w, 1e5, 0.0, 0.0};
    const double per_step = 7.3;
    source.inject_density = per_step / (1e5 * f.area * w.dt);
    const int steps = 400;
    for (int step = 0; step < steps; ++step) injectFromPlane(source, f.dim, f.x1, f.x2);
    const auto total = static_cast<double>(sumOverProcesses(d, static_cast<int64_t>(t.particles.size())));
    EXPECT_NEAR(total, steps * per_step, 6.0 * std::sqrt(steps * d.size / 4.0)) << "face " << f.dim;
    for (const Particle& p : listOf(t)) ASSERT_TRUE(inOwnedCell(w.grid, p.pos)) << p.pos.x;
  }
}

}  // namespace
}  // namespace plasmabox
