#include <gtest/gtest.h>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "mesh/fieldOperators.h"

using namespace plasmabox;

namespace {

// Spacings are powers of two so that the expected derivatives are exact.
void setSpacing(Grid& g, Vec3 dh) { g.setExtents({0, 0, 0}, {dh.x * (g.ni - 1), dh.y * (g.nj - 1), dh.z * (g.nk - 1)}); }

template <class F>
Field fieldOf(int ni, int nj, int nk, F f) {
  Field r(ni, nj, nk);
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j)
      for (int k = 0; k < nk; ++k) r(i, j, k) = f(i, j, k);
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
    for (int i = 0; i < n[0]; ++i)
      for (int j = 0; j < n[1]; ++j)
        for (int k = 0; k < n[2]; ++k) EXPECT_EQ(g(i, j, k)[axis], -2.0 * q(i, j, k)) << axis << ": " << i << j << k;
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
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 3; ++k) F(i, j, k) = {a * (0.25 * j), b * (2.0 * k), c * (0.5 * i)};
  for (int pad : {0, 1}) {
    const VectorField r = curl(F, static_cast<uint8_t>(pad), w);
    for (int i = 0; i < r.ni; ++i)
      for (int j = 0; j < r.nj; ++j)
        for (int k = 0; k < r.nk; ++k) {
          const bool cell = i >= pad && j >= pad && k >= pad && i - pad < 3 && j - pad < 4 && k - pad < 2;
          EXPECT_EQ(r(i, j, k), (cell ? Vec3{-b, -c, -a} : Vec3{})) << pad << ": " << i << j << k;
        }
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
  for (int i = 0; i < 6; ++i)
    for (int j = 0; j < 5; ++j)
      for (int k = 0; k < 5; ++k) EXPECT_EQ(w.ef(i, j, k), (Vec3{-10 * taper[i], 0, 0})) << i << j << k;

  w.phi.clear();
  const double J = 2.5e3;  // A/m^2
  for (Vec3& v : w.j_total.data) v = {J, 0, 0};
  updateFields(w);
  const double full = w.dt * (C2 * 0.0 - (1.0 / EPS_0) * J);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(w.ef(i, 2, 3), (Vec3{full * taper[i], 0, 0})) << i;
}

}  // namespace
