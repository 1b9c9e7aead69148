#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <random>

#include "mesh/Grid.h"
#include "mesh/NodeField.h"
#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"

using namespace plasmabox;

namespace {

template <class F>
void eachNode(int ni, int nj, int nk, F f) {
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j)
      for (int k = 0; k < nk; ++k) f(i, j, k);
}

TEST(Grid, NodeVolumesAreCellShareAndBoundsIncludeTheLowerFacesOnly) {
  Grid v(3, 3, 3);
  v.setExtents({0, 0, 0}, {2, 2, 2});
  EXPECT_EQ(v.xc, (Vec3{1, 1, 1}));
  // Interior, face, edge, corner.
  EXPECT_TRUE(v.node_vol(1, 1, 1) == 1.0 && v.node_vol(0, 1, 1) == 0.5 && v.node_vol(1, 2, 0) == 0.25 &&
              v.node_vol(2, 2, 2) == 0.125);
  Grid u(7, 4, 9);
  u.setExtents({-0.1, 0.2, 1.0}, {0.5, 0.35, 1.8});
  EXPECT_NEAR(std::accumulate(u.node_vol.data.begin(), u.node_vol.data.end(), 0.0), 0.6 * 0.15 * 0.8, 1e-15);  // its volume
  Grid w(5, 5, 5);
  w.setExtents({-1, -1, -1}, {1, 1, 1});
  for (const auto& [p, inside] : {std::pair{Vec3{-1, -1, -1}, true}, {Vec3{0.999, 0.999, 0.999}, true},
                                  {Vec3{1, 0, 0}, false}, {Vec3{-1.0000001, 0, 0}, false}, {Vec3{0, 0, NAN}, false}})
    EXPECT_EQ(w.inBounds(p), inside) << p.x << " " << p.y << " " << p.z;
  EXPECT_EQ(w.toLogical(w.xm), (Vec3{4, 4, 4}));
  EXPECT_EQ(w.toLogical({0, 0.5, -0.5}), (Vec3{2, 3, 1}));
}

// The push depends on gather's exact bits: the same as the sum corner by corner.
TEST(Gather, SameBitsAsTheSumCornerByCorner) {
  VectorField f(6, 7, 5);
  std::mt19937 gen(3);
  std::uniform_real_distribution<double> v(-1e3, 1e3), u(0.0, 1.0);
  for (Vec3& x : f.data) x = {v(gen), v(gen), v(gen)};
  for (int n = 0; n < 100000; ++n) {
    const Vec3 l{5 * u(gen), 6 * u(gen), 4 * u(gen)};
    const CellWeights c = cellWeights(l);
    Vec3 sum{};
    for (int q = 0; q < 8; ++q) {  // k fastest
      const double w = c.wx[q >> 2] * c.wy[q >> 1 & 1] * c.wz[q & 1];
      const Vec3 corner = f(c.i + (q >> 2), c.j + (q >> 1 & 1), c.k + (q & 1));
      sum.x += w * corner.x, sum.y += w * corner.y, sum.z += w * corner.z;
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

// Spacings are powers of two so that the expected derivatives are exact.
void setSpacing(Grid& g, Vec3 dh) { g.setExtents({0, 0, 0}, {dh.x * (g.ni - 1), dh.y * (g.nj - 1), dh.z * (g.nk - 1)}); }

template <class F>
Field fieldOf(int ni, int nj, int nk, F f) {
  Field r(ni, nj, nk);
  eachNode(ni, nj, nk, [&](int i, int j, int k) { r(i, j, k) = f(i, j, k); });
  return r;
}

TEST(MinusGradient, ExactOnLinearAndQuadraticFieldsWallsIncluded) {
  Grid w(4, 5, 6);
  setSpacing(w, {0.5, 0.25, 2.0});
  const Field linear = fieldOf(4, 5, 6, [](int i, int j, int k) { return 3.0 * (0.5 * i) - 2.0 * (0.25 * j) + 0.5 * (2.0 * k); });
  for (const Vec3& v : minusGradient(linear, w).data) EXPECT_EQ(v, (Vec3{-3.0, 2.0, -0.5}));

  // q^2 along one axis gives -2q at every node: the one-sided wall rules are second order.
  for (int axis = 0; axis < 3; ++axis) {
    int n[3] = {3, 3, 3};
    n[axis] = 5;
    Grid u(n[0], n[1], n[2]);
    setSpacing(u, {1, 1, 1});
    const auto q = [axis](int i, int j, int k) { return double(axis == 0 ? i : axis == 1 ? j : k); };
    const VectorField g = minusGradient(fieldOf(n[0], n[1], n[2], [&](int i, int j, int k) { return q(i, j, k) * q(i, j, k); }), u);
    eachNode(n[0], n[1], n[2],
             [&](int i, int j, int k) { EXPECT_EQ(g(i, j, k)[axis], -2.0 * q(i, j, k)) << axis << ": " << i << j << k; });
  }
}

TEST(Curl, ConstantGivesZeroLinearGivesItsCurlOnCells) {
  Grid w(4, 5, 3);
  setSpacing(w, {0.5, 0.25, 2.0});
  VectorField F(4, 5, 3);
  for (Vec3& v : F.data) v = {1.234567e-3, -9.87e5, 0.1};
  for (const Vec3& v : curl(F, 1, w).data) EXPECT_EQ(v, Vec3{});
  // F = (a y, b z, c x): curl F = (-b, -c, -a) on cells, zero on the padding layers.
  const double a = 3, b = -5, c = 0.5;
  eachNode(4, 5, 3, [&](int i, int j, int k) { F(i, j, k) = {a * (0.25 * j), b * (2.0 * k), c * (0.5 * i)}; });
  for (int pad : {0, 1}) {
    const VectorField r = curl(F, static_cast<uint8_t>(pad), w);
    eachNode(r.ni, r.nj, r.nk, [&](int i, int j, int k) {
      const bool cell = i >= pad && j >= pad && k >= pad && i - pad < 3 && j - pad < 4 && k - pad < 2;
      EXPECT_EQ(r(i, j, k), (cell ? Vec3{-b, -c, -a} : Vec3{})) << pad << ": " << i << j << k;
    });
  }
}

TEST(UpdateFields, LinearPotentialAndUniformCurrentAreTaperedAtTheWalls) {
  World w(6, 5, 5);
  w.grid.setExtents({0, 0, 0}, {1.25, 1, 1});  // dx = 0.25 m
  w.dt = 1e-11;
  for (Vec3& v : w.ef.data) v = {1, 2, 3};  // stale content must be discarded
  w.phi = fieldOf(6, 5, 5, [](int i, int, int) { return 10.0 * (0.25 * i); });  // V, phi = 10 x
  updateFields(w);
  const double taper[] = {0, 0.75, 1, 1, 0.75, 0};
  eachNode(6, 5, 5, [&](int i, int j, int k) { EXPECT_EQ(w.ef(i, j, k), (Vec3{-10 * taper[i], 0, 0})) << i << j << k; });

  w.phi.clear();
  const double J = 2.5e3;  // A/m^2
  for (Vec3& v : w.j_total.data) v = {J, 0, 0};
  updateFields(w);
  const double full = w.dt * (C2 * 0.0 - (1.0 / EPS_0) * J);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.ef(i, 2, 3), (Vec3{full * taper[i], 0, 0})) << i;
}

}  // namespace
