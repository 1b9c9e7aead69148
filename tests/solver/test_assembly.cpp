#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <vector>

#include "solver/MagnetostaticSolver.h"
#include "solver/vectorAlgebra.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

using Slots = std::vector<std::pair<int, double>>;

TEST(SparseMatrix, SlotsAreClaimedInOrderReusedAndSummedInOrder) {
  SparseMatrix A(8);
  A(1, 5) = 1.0, A(1, 0) = 2.0, A(1, 5) = 3.0;  // the same column again overwrites, no new slot
  EXPECT_EQ(A.at(1, 7), 0.0);  // const lookup never claims
  EXPECT_EQ(slots(A.rows[1]), (Slots{{5, 3.0}, {0, 2.0}}));
  for (int c = 0; c < 7; ++c) A(2, c) = c;  // seven distinct columns fit
  EXPECT_EQ(slots(A.rows[2]), (Slots{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}));
  // 1e16 + 1 rounds back to 1e16: the sum is 0 when the 1 comes second, 1 when it comes last.
  SparseMatrix B(3);
  B(0, 0) = 1e16, B(0, 1) = 1.0, B(0, 2) = -1e16;
  B(1, 0) = 1e16, B(1, 2) = -1e16, B(1, 1) = 1.0;
  EXPECT_EQ(B * DenseVector({1, 1, 1}), (DenseVector{0.0, 1.0, 0.0}));
}

// On in release builds too: a full row would otherwise write into the next row.
TEST(SparseMatrixDeathTest, EighthDistinctColumnStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SparseMatrix A(8);
  for (int c = 0; c < 7; ++c) A(3, c) = 1.0;
  EXPECT_DEATH(A(3, 7) = 1.0, "v!=nvals");
}

TEST(VectorAlgebra, PreconditionerDiagonalShiftAndRootMeanSquareNorm) {
  SparseMatrix A(3);
  for (int i = 0; i < 3; ++i) A(i, i) = 2.0;
  A(0, 2) = 7.0;
  const SparseMatrix M = diagPreconditioner(A);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(slots(M.rows[i]), (Slots{{i, 0.5}})) << i;
  const SparseMatrix C = A - DenseVector{1.0, 0.5, -3.0};
  EXPECT_EQ(A.at(0, 0), 2.0);  // operand untouched
  EXPECT_TRUE(C.at(0, 0) == 1.0 && C.at(1, 1) == 1.5 && C.at(0, 2) == 7.0);
  const DenseVector a{1, 2, 3}, b{4, 5, 6, 100};  // second operand may be longer
  EXPECT_EQ(a - b, (DenseVector{-3, -3, -3}));
  EXPECT_EQ(dot(a, b), 32.0);
  EXPECT_EQ(norm(DenseVector{1, 1, 1, 1}), 1.0);  // not the length 2
  EXPECT_EQ(norm(DenseVector{}), 0.0);
}

TEST(PotentialAssembly, RowsByNodeClass) {
  // Spacings 0.5, 0.25, 2 m: idx = 2, idy = 4, idz = 0.5.
  auto w = makeWorld(4, 5, 6, {0.5, 0.25, 2.0});
  w->object_id(2, 0, 0) = 1;   // object on a wall edge: identity wins
  w->object_id(1, 2, 3) = 3;   // any id >= 1 is an object
  w->object_id(2, 2, 2) = -1;  // negative ids are free nodes
  const auto s = potentialSolver(*w, potential(1, 10, 1e-3));  // Newton's method reads the matrix
  const auto u = [](int i, int j, int k) { return i + j * 4 + k * 20; };
  const double idx = 2, idy = 4, idz = 0.5;
  const int U = u(2, 2, 2);
  const struct {
    int i, j, k, type;
    Slots slots;
  } cases[] = {
      {2, 0, 0, NODE_FIXED, {{u(2, 0, 0), 1.0}}},
      {1, 2, 3, NODE_FIXED, {{u(1, 2, 3), 1.0}}},
      {0, 0, 0, NODE_WALL, {{0, idx}, {1, -idx}}},  // corner: the i rule first
      {3, 4, 5, NODE_WALL, {{u(3, 4, 5), idx}, {u(2, 4, 5), -idx}}},
      {1, 0, 5, NODE_WALL, {{u(1, 0, 5), idy}, {u(1, 1, 5), -idy}}},  // j before k
      {2, 3, 5, NODE_WALL, {{u(2, 3, 5), idz}, {u(2, 3, 4), -idz}}},
      {2, 2, 2, NODE_INTERIOR,
       {{U - 20, idz * idz}, {U - 4, idy * idy}, {U - 1, idx * idx}, {U, -2.0 * (idx * idx + idy * idy + idz * idz)},
        {U + 1, idx * idx}, {U + 4, idy * idy}, {U + 20, idz * idz}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "node " << c.i << "," << c.j << "," << c.k);
    EXPECT_EQ(s->node_type[static_cast<std::size_t>(u(c.i, c.j, c.k))], c.type);
    EXPECT_EQ(slots(s->A.rows[static_cast<std::size_t>(u(c.i, c.j, c.k))]), c.slots);
  }
  // Every non-object row annihilates a constant potential.
  const DenseVector r = s->A * DenseVector(static_cast<std::size_t>(s->A.nu), 1.0);
  for (int n = 0; n < s->A.nu; ++n) EXPECT_TRUE(s->node_type[n] == NODE_FIXED || std::abs(r[n]) < 1e-12) << n;
  EXPECT_THROW(PotentialSolver(*makeWorld(2, 4, 4), potential(0, 10, 1e-3)), std::invalid_argument);  // no interior node along x
}

TEST(PotentialAssembly, BoltzmannInversionSetsFreeNodesOnly) {
  auto w = makeWorld(3, 3, 3);
  const double ne0 = 1e12, kTe = 1.5, phi0 = 2.0;
  w->rho(1, 1, 1) = ne0 * 1.602176565e-19;  // neutralised: phi0 exactly
  w->rho(0, 1, 1) = -5.0;                   // negative charge: floor
  w->rho(2, 2, 2) = ne0 * QE * 1e-7;        // below the floor
  w->rho(0, 0, 1) = ne0 * QE * std::exp(2.0);
  w->object_id(2, 0, 0) = 1;
  w->phi(2, 0, 0) = 270.0;
  const auto s = potentialSolver(*w, potential(2, 10, 1e-3, phi0, ne0, kTe));  // runs solveQN
  const double floor_phi = phi0 - 13.815510557964274 * kTe;  // ln(1e-6)
  EXPECT_EQ(w->phi(1, 1, 1), phi0);
  const int floored[][3] = {{0, 0, 0}, {0, 1, 1}, {2, 2, 2}};
  for (const auto& n : floored) EXPECT_NEAR(w->phi(n[0], n[1], n[2]), floor_phi, 1e-12);
  EXPECT_NEAR(w->phi(0, 0, 1), phi0 + 2.0 * kTe, 1e-12);
  EXPECT_EQ(w->phi(2, 0, 0), 270.0);
  s->settings.method = 7;  // an unknown method changes nothing
  w->phi(1, 1, 1) = 9.0;
  EXPECT_FALSE(s->solve());
  EXPECT_EQ(w->phi(1, 1, 1), 9.0);
}

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
    EXPECT_EQ(slots(s.row(u)), (Slots{{u, 1.0}}));
  }
  EXPECT_THROW(MagnetostaticSolver(*makeWorld(2, 5, 5), magnetostatic(10, 1e-6)), std::invalid_argument);
}

}  // namespace
