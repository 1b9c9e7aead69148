#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "solver/gaussSeidel.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

TEST(SolveGS, ResidualLinesEveryTwentyFiveSweepsAndTheFailureLine) {
  const int n = 40;  // diagonally dominant tridiagonal system, far from solved after a few sweeps
  SparseMatrix A(n);
  for (int i = 0; i < n; ++i) {
    if (i > 0) A(i, i - 1) = -1.0;
    A(i, i) = 2.001;
    if (i < n - 1) A(i, i + 1) = -1.0;
  }
  for (const auto& [max_it, lines] : std::vector<std::pair<int, int>>{{0, 0}, {-3, 0}, {25, 1}, {26, 2}}) {
    DenseVector x(n, 0.0);
    const Console c = captureConsole([&] { return solveGS(A, x, DenseVector(n, 1.0), control(max_it, 1e-30), n); });
    EXPECT_TRUE(!c.ok && c.outLines() == lines) << max_it;
    // The failure line repeats the last residual printed, or 0 without sweeps.
    EXPECT_EQ(c.err, "GS failed to converge, L2=" + (lines ? c.lastLine() : "0\n")) << max_it;
    EXPECT_EQ(x == DenseVector(n, 0.0), lines == 0);
  }
  // The identity solves in one sweep; residual 0 against tolerance 0 does not stop.
  SparseMatrix I(5);
  for (int i = 0; i < 5; ++i) I(i, i) = 1.0;
  const DenseVector b{1, -2, 3.5, 0, 1e300};
  for (const double tol : {1e-12, 0.0}) {
    DenseVector x(5, 0.0);
    const Console c = captureConsole([&] { return solveGS(I, x, b, control(30, tol), 5); });
    EXPECT_TRUE(c.ok == (tol > 0) && x == b);
    EXPECT_EQ(c.out + c.err, tol > 0 ? "0\n" : "0\n0\nGS failed to converge, L2=0\n");
  }
}

// Plates at 270 V (i = 1) and 0 V (i = ni - 2): linear between them. The
// corner (0,0,0) pinned at 0 V beside the 270 V plate does not count in the
// residual, so the solve converges.
TEST(SolveSORParallel, PlateCapacitorGivesALinearPotential) {
  const int ni = 16;
  auto w = plateCapacitor(ni, 6, 6);
  const auto s = potentialSolver(*w, potential(0, 5000, 1e-6));  // starts from the Boltzmann guess, about -20.7 V
  const Console c = captureConsole([&] { return s->solve(); });
  EXPECT_TRUE(c.ok && c.err.empty()) << c.err;
  eachNode(*w, [&](int i, int j, int k) {
    if (i < 1 || i > ni - 2) return;
    ASSERT_NEAR(w->phi(i, j, k), 270.0 * (ni - 2 - i) / (ni - 3), 1e-6) << i << "," << j << "," << k;
  });
}

// Method 3: Boltzmann electrons, one thread, no pinned corners; the plate at
// 1 V fixes the level and the walls keep a zero normal gradient.
TEST(SolveSORBoltzmann, ConvergesWithoutPinnedCorners) {
  auto w = ionWave(8, 1e12, 0.4, 3, 1.0);
  const auto s = potentialSolver(*w, potential(3, 4000, 1.0));
  const Console c = captureConsole([&] { return s->solve(); });
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_TRUE(c.out.starts_with("potential solve\n")) << c.out;
  EXPECT_LT(std::stod(c.lastLine()), 1.0);  // the printed residual that stopped the solve
  EXPECT_EQ(w->phi(3, 3, 3), 1.0);
  EXPECT_NE(w->phi(0, 0, 0), 0.0);
  EXPECT_NEAR(w->phi(0, 2, 2), w->phi(1, 2, 2), 1e-6);
}

constexpr double NE0 = 1e12;  // m^-3
constexpr double KTE = 1.5;   // eV

// 10^3 nodes 2 mm apart (Debye length about 9 mm), ion density +-30 % along x.
// The outer layer is an object at the quasi-neutral potential (0.5 V higher at
// i = 0 so the guess is not the solution); optionally a plate at k = 4 holds -2 V.
std::unique_ptr<World> quasiNeutralWorld(bool plate) {
  auto w = ionWave(10, NE0, M_PI / 9, plate ? 4 : -1, -2.0);
  eachNode(*w, [&](int i, int j, int k) {
    if (i == 0 || j == 0 || k == 0 || i == 9 || j == 9 || k == 9)
      w->object_id(i, j, k) = 1, w->phi(i, j, k) = KTE * std::log(w->rho(i, j, k) / (NE0 * QE)) + (i == 0 ? 0.5 : 0.0);
  });
  return w;
}

TEST(SolveNRPCG, ZeroIterationLimitMakesOneEmptyNewtonStep) {
  auto w = quasiNeutralWorld(true);
  const auto s = potentialSolver(*w, potential(1, 0, 1e-3, 0.0, NE0, KTE));  // max_it 0
  const Field before = w->phi;
  const Console c = captureConsole([&] { return s->solve(); });
  EXPECT_EQ(c.out + c.err, "PCG failed to converge, norm(g) = 0\nGS failed to converge, L2=0\n");
  EXPECT_TRUE(c.ok && s->newton_steps == 1);  // the update stays 0, whose norm is below 0.001 V
  EXPECT_EQ(w->phi.data, before.data);
}

TEST(SolveNRPCG, ConvergedPotentialSatisfiesTheNonlinearEquation) {
  for (bool plate : {false, true}) {
    SCOPED_TRACE(plate ? "with plate" : "without objects");
    auto w = quasiNeutralWorld(plate);
    const double tol = 1e-2;  // V/m^2, root mean square
    const auto s = potentialSolver(*w, potential(1, 500, tol, 0.0, NE0, KTE));
    const Field fixed = w->phi;  // object potentials
    ASSERT_TRUE(captureConsole([&] { return s->solve(); }).ok);
    // Residual: interior rows A phi + rho/eps0 - e ne0 exp((phi - phi0)/kTe)/eps0, wall rows A phi.
    const DenseVector x = fieldToVector(w->phi), rho = fieldToVector(w->rho), held = fieldToVector(fixed);
    DenseVector r = s->A * x;
    for (std::size_t u = 0; u < r.size(); ++u) {
      if (s->node_type[u] == NODE_INTERIOR) r[u] += rho[u] / EPS_0 - QE * NE0 * std::exp((x[u] - 0.0) / KTE) / EPS_0;
      if (s->node_type[u] == NODE_FIXED) r[u] = x[u] - held[u];  // object nodes keep their potential
    }
    EXPECT_LT(norm(r), 10 * tol);  // each linear solve ends below tol, the last update below 1 mV
  }
}

TEST(SolvePCG, MatchesTheKnownSolutionOfASymmetricPositiveDefiniteSystem) {
  const int n = 30;
  SparseMatrix A(n);
  DenseVector exact(n);
  for (int i = 0; i < n; ++i) {
    if (i > 0) A(i, i - 1) = -1.0;
    A(i, i) = 2.0 + 0.1 * (i % 4);
    if (i < n - 1) A(i, i + 1) = -1.0;
    exact[i] = std::sin(0.3 * i) + 0.5;
  }
  const DenseVector b = A * exact;
  auto w = makeWorld(3, 3, 3);
  PotentialSolver s(*w, potential(1, 200, 1e-12, 0.0, NE0, KTE));
  DenseVector x(n, 0.0);
  const Console c = captureConsole([&] { return s.solvePCG(A, x, b); });
  EXPECT_TRUE(c.ok && c.err.empty()) << c.err;
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], exact[i], 1e-10) << i;
}

}  // namespace
