#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "mesh/constants.h"
#include "solver/MagnetostaticSolver.h"
#include "solverTestSupport.h"

namespace {

TEST(MagnetostaticSolver, PinnedNodeIsClampedIntoTheMesh) {
  struct Case {
    Vec3 x0;
    int i, j, k;  // expected pinned node of the origin
  };
  // 5 nodes 0.5 m apart per axis.
  const Case cases[] = {
      {{-1, -1, -1}, 2, 2, 2},     // origin inside: its cell's lower node
      {{-0.7, -1.9, -0.2}, 1, 3, 0},  // truncated, not rounded
      {{1, 1, 1}, 0, 0, 0},        // mesh beyond the origin: nearest node
      {{-5, 0.5, -2.1}, 4, 0, 4},  // origin beyond the far corner on x and z
  };
  for (const Case& c : cases) {
    auto w = makeWorld(5, 5, 5, {0.5, 0.5, 0.5}, c.x0);
    MagnetostaticSolver s(*w, 10, 1e-6);
    const int u = c.i + 5 * c.j + 25 * c.k;
    EXPECT_EQ(s.pin_node_1, u) << c.x0.x << "," << c.x0.y << "," << c.x0.z;
    EXPECT_EQ(s.pin_node_2, u);
    EXPECT_EQ(s.node_type[static_cast<std::size_t>(u)], 2);
    EXPECT_EQ(s.A.rows[static_cast<std::size_t>(u)].col[1], -1);
    EXPECT_EQ(s.A.at(u, u), 1.0);
  }
  World small(2, 5, 5);
  small.setExtents({0, 0, 0}, {1, 1, 1});
  EXPECT_THROW(MagnetostaticSolver(small, 10, 1e-6), std::invalid_argument);
}

TEST(MagnetostaticSolver, DivergenceIsExactForLinearMagnetisation) {
  auto w = makeWorld(5, 4, 6, {0.5, 2.0, 0.25});
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 6; ++k) w->M(i, j, k) = {3.0 * 0.5 * i, -2.0 * 2.0 * j, 0.5 * 0.25 * k + 7.0};
  MagnetostaticSolver s(*w, 10, 1e-6);
  for (double d : s.divergence(w->M)) ASSERT_NEAR(d, 3.0 - 2.0 + 0.5, 1e-12);

  // A uniform block: divergence only next to its faces.
  w->M.clear();
  for (int i = 1; i <= 3; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 6; ++k) w->M(i, j, k) = {10.0, 0.0, 0.0};
  const DenseVector b = s.divergence(w->M);
  // 2 dx = 1 m: the differences below are already the divergence.
  EXPECT_EQ(b[2 + 5 * 1 + 20 * 2], 0.0);   // centre of the block
  EXPECT_EQ(b[1 + 5 * 1 + 20 * 2], 10.0);  // M(2) - M(0)
  EXPECT_EQ(b[0 + 5 * 1 + 20 * 2], 30.0);  // one-sided: -3 M(0) + 4 M(1) - M(2)
  EXPECT_EQ(b[4 + 5 * 1 + 20 * 2], -30.0); // 3 M(4) - 4 M(3) + M(2)
}

TEST(MagnetostaticSolver, ZeroMagnetisationGivesZeroFields) {
  auto w = makeWorld(6, 6, 6, {0.01, 0.01, 0.01});
  MagnetostaticSolver s(*w, 100, 1e-9);
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solveMagnetostatics(); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(c.out, "0\n");
  for (double v : w->phi_m.data) ASSERT_EQ(v, 0.0);
  for (const Vec3& v : w->H.data) ASSERT_EQ(v, Vec3{});
  for (const Vec3& v : w->B.data) ASSERT_EQ(v, Vec3{});
}

// A uniformly magnetised sphere has H = -M/3 inside (demagnetising factor
// 1/3) in free space. The zero-gradient walls add mirror images: across a
// wall normal to M the image dipole is reversed, across the other four it is
// parallel, and the six nearest images, at L = 22 h (the first-order wall
// rows put the mirror half a node outside the inner layer), add
// -(8/3) (R/L)^3 M at the centre. Further images and the staircase surface
// are left to the tolerance.
TEST(MagnetostaticSolver, UniformlyMagnetisedSphereHasMinusAThirdOfMInside) {
  const int n = 24;
  const double h = 0.001;            // m
  const double radius = 6.5 * h;     // m
  const double m0 = 1.0e6;           // A/m, about 1.26 T of remanence
  auto w = makeWorld(n, n, n, {h, h, h});
  const Vec3 centre{11.5 * h, 11.5 * h, 11.5 * h};
  auto r2 = [&](int i, int j, int k) {
    const double dx = i * h - centre.x, dy = j * h - centre.y, dz = k * h - centre.z;
    return dx * dx + dy * dy + dz * dz;
  };
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k)
        if (r2(i, j, k) <= radius * radius) w->M(i, j, k) = {0.0, 0.0, m0};

  MagnetostaticSolver s(*w, 20000, 1e4);  // A/m^3; the divergence at the surface is about 5e8
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solveMagnetostatics(); });
  ASSERT_TRUE(ok) << c.err;

  double hz = 0.0, hx = 0.0;
  int count = 0;
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k)
        if (r2(i, j, k) <= 0.25 * radius * radius) {
          hz += w->H(i, j, k).z;
          hx += std::abs(w->H(i, j, k).x);
          ++count;
          // Magnetised nodes take B from M alone.
          ASSERT_EQ(w->B(i, j, k), MU_0 * w->M(i, j, k));
        }
  ASSERT_GT(count, 0);
  hz /= count;
  hx /= count;
  const double images = -(8.0 / 3.0) * std::pow(radius / (22 * h), 3) * m0;
  EXPECT_NEAR(hz, -m0 / 3.0 + images, 0.05 * m0 / 3.0);
  EXPECT_LT(hx, 0.02 * m0);
  // Outside the magnet B is MU_0 H.
  EXPECT_EQ(w->B(2, 3, 4), MU_0 * w->H(2, 3, 4));
  EXPECT_EQ(w->phi_m(0, 0, 0), 0.0);  // the pinned node
}

}  // namespace
