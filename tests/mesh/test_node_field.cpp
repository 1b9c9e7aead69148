#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "mesh/Grid.h"
#include "mesh/NodeField.h"

using namespace plasmabox;

namespace {

TEST(Grid, NodeVolumesAreCellShareAndSumToTheBoxVolume) {
  Grid w(3, 3, 3);
  w.setExtents({0, 0, 0}, {2, 2, 2});
  EXPECT_EQ(w.xc, (Vec3{1, 1, 1}));
  // Interior, face, edge, corner.
  EXPECT_TRUE(w.node_vol(1, 1, 1) == 1.0 && w.node_vol(0, 1, 1) == 0.5 && w.node_vol(1, 2, 0) == 0.25 &&
              w.node_vol(2, 2, 2) == 0.125);
  Grid u(7, 4, 9);
  u.setExtents({-0.1, 0.2, 1.0}, {0.5, 0.35, 1.8});
  double sum = 0;
  for (double v : u.node_vol.data) sum += v;
  EXPECT_NEAR(sum, 0.6 * 0.15 * 0.8, 1e-15);
}

TEST(Grid, BoundsIncludeTheLowerFacesOnly) {
  Grid w(5, 5, 5);
  w.setExtents({-1, -1, -1}, {1, 1, 1});
  const struct {
    Vec3 p;
    bool inside;
  } cases[] = {
      {{-1, -1, -1}, true}, {{0.999, 0.999, 0.999}, true}, {{1, 0, 0}, false}, {{0, 0, 1}, false},
      {{-1.0000001, 0, 0}, false}, {{0, 0, NAN}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(w.inBounds(c.p), c.inside) << c.p.x << " " << c.p.y << " " << c.p.z;
  EXPECT_EQ(w.toLogical(w.xm), (Vec3{4, 4, 4}));
  EXPECT_EQ(w.toLogical({0, 0.5, -0.5}), (Vec3{2, 3, 1}));
}

TEST(NodeField, CountsLayoutAndZeroFill) {
  VectorField v(2, 3, 4);
  ASSERT_EQ(v.size(), 24u);
  v(1, 2, 2) = {4, 5, 6};
  EXPECT_EQ((&v.data[0].x)[3 * ((1 * 3 + 2) * 4 + 2) + 2], 6.0);  // k fastest, components interleaved
  EXPECT_EQ(v.line(1, 2) + 3, &v(1, 2, 3));
  // Counts of zero or less give no nodes; counts whose product wraps are refused.
  EXPECT_EQ(Field(0, 3, 4).size() + IntField(-2, 3, 4).size(), 0u);
  EXPECT_THROW(Field(4194304, 4194304, 4194304), std::bad_alloc);
}

TEST(NodeField, ArithmeticLeavesOperandsAlone) {
  Field a(3, 4, 5);
  for (std::size_t q = 0; q < a.size(); ++q) a.data[q] = 0.5 * q;
  EXPECT_EQ((a + a).data, (2.0 * a).data);
  EXPECT_EQ((a - a).data, Field(3, 4, 5).data);
  EXPECT_EQ(a(1, 1, 1), 0.5 * a.index(1, 1, 1));
  VectorField v(3, 3, 3), w(3, 3, 3);
  v(1, 2, 0) = {1, -2, 3};
  w(1, 2, 0) = {0.5, 0.5, 0.5};
  v += w;
  v -= 3.0 * w;
  EXPECT_EQ(v(1, 2, 0), (Vec3{0, -3, 2}));
  v.clear();
  EXPECT_EQ(v.data, VectorField(3, 3, 3).data);
}

TEST(Gather, ExactAtNodesMeanAtCellCentresLinearAnywhere) {
  VectorField f(5, 5, 5);
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) f(i, j, k) = {1.0 * i * j + k, 2.0 * i - j + 3.0 * k, 0.1 * i};
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j)
      for (int k = 0; k < 4; ++k) EXPECT_EQ(gather(f, {double(i), double(j), double(k)}), f(i, j, k));
  Vec3 mean{};
  for (int n = 0; n < 8; ++n) mean += 0.125 * f(1 + (n & 1), 1 + (n >> 1 & 1), 1 + (n >> 2));
  EXPECT_NEAR(gather(f, {1.5, 1.5, 1.5}).x, mean.x, 1e-14);  // x = i j + k is not linear
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(0.0, 4.0);
  for (int n = 0; n < 200; ++n) {  // components linear in the position are reproduced anywhere in a cell
    const Vec3 l{u(gen), u(gen), u(gen)};
    EXPECT_NEAR(gather(f, l).y, 2 * l.x - l.y + 3 * l.z, 1e-12) << l.x << " " << l.y << " " << l.z;
  }
}

// The push depends on gather's exact bits: corner by corner, each component
// alone, x and y in vector pairs or not.
TEST(Gather, SameBitsAsTheSumCornerByCorner) {
  VectorField f(6, 7, 5);
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> v(-1e3, 1e3), u(0.0, 1.0);
  for (Vec3& x : f.data) x = {v(gen), v(gen), v(gen)};
  for (int n = 0; n < 100000; ++n) {
    const Vec3 l{5 * u(gen), 6 * u(gen), 4 * u(gen)};
    const CellWeights c = cellWeights(l);
    Vec3 sum{};
    for (int a = 0; a < 2; ++a)
      for (int b = 0; b < 2; ++b)
        for (int e = 0; e < 2; ++e) {
          const double w = c.wx[a] * c.wy[b] * c.wz[e];
          const Vec3 corner = f(c.i + a, c.j + b, c.k + e);
          sum.x += w * corner.x;
          sum.y += w * corner.y;
          sum.z += w * corner.z;
        }
    const Vec3 g = gather(f, l);
    ASSERT_TRUE(g.x == sum.x && g.y == sum.y && g.z == sum.z) << l.x << " " << l.y << " " << l.z;
  }
}

TEST(Scatter, ConservesTheScatteredAmountAndSplitsCellCentresInEighths) {
  Field f(6, 5, 4);
  VectorField v(6, 5, 4);
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> ux(0.0, 5.0), uy(0.0, 4.0), uz(0.0, 3.0);
  double total = 0, sum = 0;
  for (int n = 0; n < 1000; ++n) {
    const double w = 1.0 + n % 7;
    const Vec3 l{ux(gen), uy(gen), uz(gen)};
    scatter(f, l, w), scatter(v, l, Vec3{w, -w, 2 * w});
    total += w;
  }
  Vec3 vsum{};
  for (std::size_t q = 0; q < f.size(); ++q) sum += f.data[q], vsum += v.data[q];
  EXPECT_NEAR(sum, total, 1e-9 * total);
  EXPECT_NEAR(vsum.z, 2 * total, 1e-9 * total);

  Field g(3, 3, 3);
  scatter(g, {0.5, 0.5, 0.5}, 8.0);
  for (int n = 0; n < 8; ++n) EXPECT_EQ(g(n & 1, n >> 1 & 1, n >> 2), 1.0);
}

}  // namespace
