#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"

namespace {

// Spacings are powers of two so that the expected derivatives are exact.
void setSpacing(World& w, Vec3 dh) {
  w.setExtents({0, 0, 0}, {dh.x * (w.ni - 1), dh.y * (w.nj - 1), dh.z * (w.nk - 1)});
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(MinusGradient, LinearFieldIsExactEverywhereWallsIncluded) {
  World w(4, 5, 6);
  setSpacing(w, {0.5, 0.25, 2.0});
  Field f(4, 5, 6);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 6; ++k) f(i, j, k) = 3.0 * (0.5 * i) - 2.0 * (0.25 * j) + 0.5 * (2.0 * k);
  const VectorField g = minusGradient(f, w);
  ASSERT_EQ(g.size(), f.size());
  for (const Vec3& v : g.data) EXPECT_EQ(v, (Vec3{-3.0, 2.0, -0.5}));
}

TEST(MinusGradient, QuadraticAlongEachAxisIsExact) {
  // x^2 on 5 nodes with spacing 1 gives -2x at every node: the one-sided wall
  // rules are second order.
  for (int axis = 0; axis < 3; ++axis) {
    int n[3] = {3, 3, 3};
    n[axis] = 5;
    World w(n[0], n[1], n[2]);
    setSpacing(w, {1, 1, 1});
    Field f(n[0], n[1], n[2]);
    for (int i = 0; i < n[0]; ++i)
      for (int j = 0; j < n[1]; ++j)
        for (int k = 0; k < n[2]; ++k) {
          const int q[3] = {i, j, k};
          f(i, j, k) = double(q[axis]) * q[axis];
        }
    const VectorField g = minusGradient(f, w);
    for (int i = 0; i < n[0]; ++i)
      for (int j = 0; j < n[1]; ++j)
        for (int k = 0; k < n[2]; ++k) {
          const int q[3] = {i, j, k};
          for (int d = 0; d < 3; ++d)
            EXPECT_EQ(g(i, j, k)[d], d == axis ? -2.0 * q[axis] : 0.0)
                << "axis " << axis << " node " << i << "," << j << "," << k;
        }
  }
}

TEST(MinusGradient, ShortAxesStayDefined) {
  World w(2, 1, 3);
  setSpacing(w, {1, 1, 1});
  Field f(2, 1, 3);
  for (int i = 0; i < 2; ++i)
    for (int k = 0; k < 3; ++k) f(i, 0, k) = 4.0 * i + k;
  const VectorField g = minusGradient(f, w);
  for (const Vec3& v : g.data) EXPECT_EQ(v, (Vec3{-4.0, 0.0, -1.0}));
  EXPECT_EQ(minusGradient(Field(), w).size(), 0u);
}

TEST(TaperWeight, WallNodeZeroNextThreeQuartersThenOne) {
  struct Case {
    int n;
    std::vector<double> w;
  };
  const Case cases[] = {
      {8, {0, 0.75, 1, 1, 1, 1, 0.75, 0}},
      {5, {0, 0.75, 1, 0.75, 0}},
      {4, {0, 0.75, 0.75, 0}},
      {3, {0, 0.75, 0}},
  };
  for (const Case& c : cases)
    for (int q = 0; q < c.n; ++q) EXPECT_EQ(taperWeight(q, c.n), c.w[q]) << "n " << c.n << " q " << q;

  VectorField ef(5, 4, 3);
  for (Vec3& v : ef.data) v = {2, 2, 2};
  dampBoundaryLayers(ef);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 3; ++k)
        EXPECT_EQ(ef(i, j, k), (Vec3{2 * taperWeight(i, 5), 2 * taperWeight(j, 4), 2 * taperWeight(k, 3)}));
}

TEST(Curl, ConstantFieldGivesExactZero) {
  World w(4, 3, 5);
  setSpacing(w, {0.1, 0.3, 0.7});
  VectorField F(4, 3, 5);
  for (Vec3& v : F.data) v = {1.234567e-3, -9.87e5, 0.1};
  for (uint8_t pad : {0, 1}) {
    const VectorField c = curl(F, pad, w);
    EXPECT_EQ(c.ni, 4 + pad);
    for (const Vec3& v : c.data) EXPECT_EQ(v, Vec3{});
  }
}

TEST(Curl, LinearFieldGivesItsCurlOnCellsAndZeroOnUpperLayers) {
  // F = (a y, b z, c x): curl F = (-b, -c, -a).
  const double a = 3, b = -5, c = 0.5;
  World w(4, 5, 3);
  setSpacing(w, {0.5, 0.25, 2.0});
  VectorField F(4, 5, 3);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 3; ++k) F(i, j, k) = {a * (0.25 * j), b * (2.0 * k), c * (0.5 * i)};
  for (int pad : {0, 1}) {
    const VectorField r = curl(F, static_cast<uint8_t>(pad), w);
    ASSERT_EQ(r.nj, 5 + pad);
    for (int i = 0; i < r.ni; ++i)
      for (int j = 0; j < r.nj; ++j)
        for (int k = 0; k < r.nk; ++k) {
          const bool cell = i >= pad && j >= pad && k >= pad && i - pad < 3 && j - pad < 4 && k - pad < 2;
          EXPECT_EQ(r(i, j, k), (cell ? Vec3{-b, -c, -a} : Vec3{})) << pad << ": " << i << "," << j << "," << k;
        }
  }
  EXPECT_EQ(curl(VectorField(1, 4, 4), 0, w).size(), 16u);  // a single layer has no cells
}

// World of n^3 nodes with spacing 1e-3 m, dt 1e-11 s.
void initWorld(World& w) {
  w.setExtents({0, 0, 0}, {1e-3 * (w.ni - 1), 1e-3 * (w.nj - 1), 1e-3 * (w.nk - 1)});
  w.dt = 1e-11;
}

TEST(UpdateFields, ZeroSourcesGiveZeroField) {
  World w(5, 6, 7);
  initWorld(w);
  for (Vec3& v : w.ef.data) v = {1, 2, 3};  // stale content must be discarded
  updateFields(w);
  for (const Vec3& v : w.ef.data) EXPECT_EQ(v, Vec3{});
}

TEST(UpdateFields, LinearPotentialIsTaperedAtTheXWalls) {
  World w(6, 5, 5);
  w.setExtents({0, 0, 0}, {1.25, 1, 1});  // dx = 0.25 m
  w.dt = 1e-11;
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) w.phi(i, j, k) = 10.0 * (0.25 * i);  // V, phi = 10 x
  updateFields(w);
  const double expect_x[] = {0, -7.5, -10, -10, -7.5, 0};
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) EXPECT_EQ(w.ef(i, j, k), (Vec3{expect_x[i], 0, 0})) << i << j << k;
}

TEST(UpdateFields, UniformCurrentDrivesTheFieldAgainstIt) {
  World w(7, 5, 5);
  initWorld(w);
  const double J = 2.5e3;  // A/m^2
  for (Vec3& v : w.j_total.data) v = {J, 0, 0};
  updateFields(w);
  const double full = w.dt * (C2 * 0.0 - (1.0 / EPS_0) * J);
  EXPECT_NEAR(full, -w.dt * J / EPS_0, 1e-12 * std::abs(full));
  const double expect_x[] = {0, 0.75 * full, full, full, full, 0.75 * full, 0};
  for (int i = 0; i < 7; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) EXPECT_EQ(w.ef(i, j, k), (Vec3{expect_x[i], 0, 0}));
  for (const Vec3& v : w.B.data) EXPECT_EQ(v, Vec3{});
}

TEST(UpdateFields, FusedStepMatchesTheOperatorCompositionBitForBit) {
  World w(9, 7, 8);
  initWorld(w);
  std::mt19937 gen(42);
  std::uniform_real_distribution<double> u(-1, 1);
  for (double& v : w.phi.data) v = 100 * u(gen);
  for (Vec3& v : w.B.data) v = {1e-3 * u(gen), 1e-3 * u(gen), 1e-3 * u(gen)};
  for (Vec3& v : w.j_total.data) v = {1e4 * u(gen), 1e4 * u(gen), 1e4 * u(gen)};

  // The step written plainly with whole-field temporaries.
  VectorField ef = minusGradient(w.phi, w);
  VectorField B = w.B - w.dt * curl(ef, 0, w);
  ef = ef + w.dt * (C2 * curl(B, 0, w) - (1 / EPS_0) * w.j_total);
  dampBoundaryLayers(ef);

  for (int step = 0; step < 2; ++step) {
    updateFields(w);
    for (std::size_t q = 0; q < ef.size(); ++q)
      for (int d = 0; d < 3; ++d) {
        ASSERT_TRUE(sameBits(w.ef.data[q][d], ef.data[q][d])) << "ef node " << q << " step " << step;
        ASSERT_TRUE(sameBits(w.B.data[q][d], B.data[q][d])) << "B node " << q << " step " << step;
      }
    // Second step: B keeps accumulating, ef starts again from phi.
    ef = minusGradient(w.phi, w);
    B = B - w.dt * curl(ef, 0, w);
    ef = ef + w.dt * (C2 * curl(B, 0, w) - (1 / EPS_0) * w.j_total);
    dampBoundaryLayers(ef);
  }
}

}  // namespace
