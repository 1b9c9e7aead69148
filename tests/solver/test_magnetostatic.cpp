#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "mesh/constants.h"
#include "solver/MagnetostaticSolver.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

// The pin must sit on a node some equation reads: the walls copy their inner
// neighbour and no other row reads them, so a pin there would fix nothing.
TEST(MagnetostaticSolver, PinnedNodeIsTheOriginClampedOffTheWalls) {
  const struct {
    Vec3 x0;
    int i, j, k;  // expected pinned node of the origin; 5 nodes 0.5 m apart per axis
  } cases[] = {
      {{-1, -1, -1}, 2, 2, 2},        // origin inside: its cell's lower node
      {{-0.7, -1.9, -0.2}, 1, 3, 1},  // truncated, not rounded; k = 0 would be a wall
      {{-5, 0.5, -2.1}, 3, 1, 3},     // origin outside the mesh: the nearest interior node
      {{0, 0, 0}, 1, 1, 1},           // the mesh starts at the origin, as in the bundled example
  };
  for (const auto& c : cases) {
    auto w = makeWorld(5, 5, 5, {0.5, 0.5, 0.5}, c.x0);
    MagnetostaticSolver s(*w, magnetostatic(10, 1e-6));
    const int u = c.i + 5 * c.j + 25 * c.k;
    EXPECT_EQ(s.pin_node_1, u) << c.x0.x << "," << c.x0.y << "," << c.x0.z;
    const MatrixRow row = s.row(u);
    EXPECT_TRUE(row.col[0] == u && row.a[0] == 1.0 && row.col[1] == -1);
  }
  World small(2, 5, 5);
  small.grid.setExtents({0, 0, 0}, {1, 1, 1});
  EXPECT_THROW(MagnetostaticSolver(small, magnetostatic(10, 1e-6)), std::invalid_argument);
}

// H = -M/3 inside in free space; the zero-gradient walls add mirror images whose
// six nearest, at L = (n - 2) h, add -(8/3) (R/L)^3 M at the centre. Further
// images and the staircase surface (about 4 % of M/3 here) are left to the tolerance.
TEST(MagnetostaticSolver, UniformlyMagnetisedSphereHasMinusAThirdOfMInside) {
  const int n = 16;
  const double h = 0.001, radius = 4.5 * h, m0 = 1.0e6;  // m, m, A/m
  auto w = makeWorld(n, n, n, {h, h, h});
  const double c = (n / 2 - 0.5) * h;
  const auto r2 = [&](int i, int j, int k) { return std::pow(i * h - c, 2) + std::pow(j * h - c, 2) + std::pow(k * h - c, 2); };
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k)
        if (r2(i, j, k) <= radius * radius) w->M(i, j, k) = {0.0, 0.0, m0};
  // Multigrid: with the pin fixing the level, relaxation would need tens of
  // thousands of sweeps here. A/m^2; the divergence at the surface is about 5e8.
  MagnetostaticSettings settings = magnetostatic(200, 1e2);
  settings.multigrid = true;
  MagnetostaticSolver s(*w, settings);
  bool ok = false;
  const Console con = captureConsole([&] { ok = s.solveMagnetostatics(); });
  ASSERT_TRUE(ok) << con.err;
  double hz = 0.0, hx = 0.0;
  int count = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k)
        if (r2(i, j, k) <= 0.25 * radius * radius) {
          hz += w->H(i, j, k).z, hx += std::abs(w->H(i, j, k).x), ++count;
          ASSERT_EQ(w->B(i, j, k), MU_0 * w->M(i, j, k));  // magnetised nodes take B from M alone
        }
  ASSERT_GT(count, 0);
  const double images = -(8.0 / 3.0) * std::pow(radius / ((n - 2) * h), 3) * m0;
  EXPECT_NEAR(hz / count, -m0 / 3.0 + images, 0.05 * m0 / 3.0);
  EXPECT_LT(hx / count, 0.02 * m0);
  EXPECT_EQ(w->B(2, 3, 4), MU_0 * w->H(2, 3, 4));  // outside the magnet B is MU_0 H
  EXPECT_EQ(w->phi_m(1, 1, 1), 0.0);               // the pinned node: the origin clamped off the walls
}

}  // namespace
