#include <gtest/gtest.h>

#include <random>

#include "mesh/NodeField.h"

namespace {

Field ramp(int ni, int nj, int nk) {
  Field f(ni, nj, nk);
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j)
      for (int k = 0; k < nk; ++k) f(i, j, k) = 100.0 * i + 10.0 * j + k;
  return f;
}

TEST(NodeField, ConstructionZeroFillsEveryNodeOfEveryKind) {
  Field f(2, 3, 4);
  IntField n(2, 3, 4);
  VectorField v(2, 3, 4);
  EXPECT_EQ(f.size(), 24u);
  EXPECT_EQ(n.size(), 24u);
  EXPECT_EQ(v.size(), 24u);
  for (double x : f.data) EXPECT_EQ(x, 0.0);
  for (int x : n.data) EXPECT_EQ(x, 0);
  for (const Vec3& x : v.data) EXPECT_EQ(x, Vec3{});
  EXPECT_FALSE(f.csv_form);
}

TEST(NodeField, NonPositiveCountsGiveAnEmptyField) {
  EXPECT_EQ(Field(0, 3, 4).size(), 0u);
  EXPECT_EQ(Field(-2, 3, 4).size(), 0u);
  EXPECT_EQ(VectorField(3, 3, -1).size(), 0u);
}

TEST(NodeField, StorageIsKFastestAndVectorComponentsInterleave) {
  VectorField v(2, 3, 4);
  v(1, 2, 3) = {1, 2, 3};
  v(1, 2, 2) = {4, 5, 6};
  const double* raw = &v.data[0].x;
  const std::size_t node = (1 * 3 + 2) * 4 + 3;
  EXPECT_EQ(raw[3 * node + 0], 1.0);
  EXPECT_EQ(raw[3 * node + 1], 2.0);
  EXPECT_EQ(raw[3 * node + 2], 3.0);
  EXPECT_EQ(raw[3 * (node - 1) + 2], 6.0);  // node k-1 directly before node k
  EXPECT_EQ(v.line(1, 2) + 3, &v(1, 2, 3));
}

TEST(NodeField, CopiesAreDeepAndResetTheTextLayout) {
  Field a = ramp(3, 3, 3);
  a.csv_form = true;
  Field b(a);
  EXPECT_FALSE(b.csv_form);
  b(1, 1, 1) = -5;
  EXPECT_EQ(a(1, 1, 1), 111.0);

  Field c(3, 3, 3);
  c.csv_form = true;
  c = a;  // values copied, layout flag of the target kept
  EXPECT_TRUE(c.csv_form);
  EXPECT_EQ(c(2, 1, 0), 210.0);
}

TEST(NodeField, ArithmeticReturnsNewFieldsAndLeavesOperandsAlone) {
  const Field a = ramp(3, 4, 5);
  const Field twice = 2.0 * a;
  const Field sum = a + a;
  const Field zero = a - a;
  for (std::size_t q = 0; q < a.size(); ++q) {
    EXPECT_EQ(twice.data[q], 2.0 * a.data[q]);
    EXPECT_EQ(sum.data[q], twice.data[q]);
    EXPECT_EQ(zero.data[q], 0.0);
  }
  EXPECT_EQ(a(2, 3, 4), 234.0);

  VectorField v(3, 3, 3), w(3, 3, 3);
  v(1, 2, 0) = {1, -2, 3};
  w(1, 2, 0) = {0.5, 0.5, 0.5};
  v += w;
  EXPECT_EQ(v(1, 2, 0), (Vec3{1.5, -1.5, 3.5}));
  v -= 2.0 * w;
  EXPECT_EQ(v(1, 2, 0), (Vec3{0.5, -2.5, 2.5}));
  v.clear();
  for (const Vec3& x : v.data) EXPECT_EQ(x, Vec3{});
}

TEST(Gather, IsExactAtNodesAndTheMeanAtCellCentres) {
  VectorField f(4, 4, 4);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) f(i, j, k) = {1.0 * i * j + k, -3.0 * k, 0.1 * i};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) EXPECT_EQ(gather(f, {double(i), double(j), double(k)}), f(i, j, k));

  Vec3 mean{};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int e = 0; e < 2; ++e) mean += 0.125 * f(1 + a, 1 + b, 1 + e);
  const Vec3 g = gather(f, {1.5, 1.5, 1.5});
  EXPECT_NEAR(g.x, mean.x, 1e-14);
  EXPECT_NEAR(g.y, mean.y, 1e-14);
  EXPECT_NEAR(g.z, mean.z, 1e-14);
}

TEST(Gather, ReproducesLinearFieldsAnywhereInTheCell) {
  VectorField f(5, 5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) f(i, j, k) = {2.0 * i - j, 3.0 * k, 1.0};
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0.0, 4.0);
  for (int n = 0; n < 200; ++n) {
    const Vec3 l{u(gen), u(gen), u(gen)};
    const Vec3 g = gather(f, l);
    EXPECT_NEAR(g.x, 2 * l.x - l.y, 1e-12);
    EXPECT_NEAR(g.y, 3 * l.z, 1e-12);
    EXPECT_NEAR(g.z, 1.0, 1e-14);
  }
}

TEST(Scatter, ConservesTheScatteredAmountAndSplitsCellCentresInEighths) {
  Field f(6, 5, 4);
  VectorField v(6, 5, 4);
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> ux(0.0, 5.0), uy(0.0, 4.0), uz(0.0, 3.0);
  double total = 0;
  for (int n = 0; n < 1000; ++n) {
    const double w = 1.0 + n % 7;
    const Vec3 l{ux(gen), uy(gen), uz(gen)};
    scatter(f, l, w);
    scatter(v, l, Vec3{w, -w, 2 * w});
    total += w;
  }
  double sum = 0;
  Vec3 vsum{};
  for (double x : f.data) sum += x;
  for (const Vec3& x : v.data) vsum += x;
  EXPECT_NEAR(sum, total, 1e-9 * total);
  EXPECT_NEAR(vsum.y, -total, 1e-9 * total);
  EXPECT_NEAR(vsum.z, 2 * total, 1e-9 * total);

  Field g(3, 3, 3);
  scatter(g, {0.5, 0.5, 0.5}, 8.0);
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b)
      for (int e = 0; e < 2; ++e) EXPECT_EQ(g(a, b, e), 1.0);
  EXPECT_EQ(g(2, 2, 2), 0.0);
}

}  // namespace
