#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh/constants.h"
#include "solver/PotentialSolver.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

constexpr double NE0 = 1e12;  // m^-3
constexpr double KTE = 1.5;   // eV

// 10^3 nodes 2 mm apart (Debye length about 9 mm), ion density +-30 % along x.
// The outer layer is an object at the quasi-neutral potential (0.5 V higher at
// i = 0 so the guess is not the solution); optionally a plate at k = 4 holds -2 V.
std::unique_ptr<World> quasiNeutralWorld(bool plate) {
  const int n = 10;
  auto w = makeWorld(n, n, n, {0.002, 0.002, 0.002});
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        const double ratio = 1.0 + 0.3 * std::cos(M_PI * i / (n - 1));
        w->rho(i, j, k) = NE0 * QE * ratio;
        const bool outer = i == 0 || j == 0 || k == 0 || i == n - 1 || j == n - 1 || k == n - 1;
        if (outer || (plate && k == 4)) w->object_id(i, j, k) = 1;
        if (w->object_id(i, j, k)) w->phi(i, j, k) = outer ? KTE * std::log(ratio) + (i == 0 ? 0.5 : 0.0) : -2.0;
      }
  return w;
}

TEST(SolveNRPCG, ZeroIterationLimitMakesOneEmptyNewtonStep) {
  auto w = quasiNeutralWorld(true);
  PotentialSolver s(*w, potential(1, 0, 1e-3, 0.0, NE0, KTE));  // max_it 0
  s.buildMatrix();
  const Field before = w->phi;
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solve(); });
  EXPECT_EQ(c.out + c.err, "PCG failed to converge, norm(g) = 0\nGS failed to converge, L2=0\n");
  EXPECT_TRUE(ok && s.newton_steps == 1);  // the update stays 0, whose norm is below 0.001 V
  EXPECT_EQ(w->phi.data, before.data);
}

TEST(SolveNRPCG, ConvergedPotentialSatisfiesTheNonlinearEquation) {
  for (bool plate : {false, true}) {
    SCOPED_TRACE(plate ? "with plate" : "without objects");
    auto w = quasiNeutralWorld(plate);
    const double tol = 1e-2;  // V/m^2, root mean square
    PotentialSolver s(*w, potential(1, 500, tol, 0.0, NE0, KTE));
    s.buildMatrix();
    const Field fixed = w->phi;  // object potentials
    bool ok = false;
    captureConsole([&] { ok = s.solve(); });
    ASSERT_TRUE(ok);
    // Residual: interior rows A phi + rho/eps0 - e ne0 exp((phi - phi0)/kTe)/eps0, wall rows A phi.
    const DenseVector x = fieldToVector(w->phi), rho = fieldToVector(w->rho), held = fieldToVector(fixed);
    DenseVector r = s.A * x;
    for (std::size_t u = 0; u < r.size(); ++u) {
      if (s.node_type[u] == NODE_INTERIOR) r[u] += rho[u] / EPS_0 - QE * NE0 * std::exp((x[u] - 0.0) / KTE) / EPS_0;
      if (s.node_type[u] == NODE_FIXED) r[u] = x[u] - held[u];  // object nodes keep their potential
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
  bool ok = false;
  EXPECT_EQ(captureConsole([&] { ok = s.solvePCG(A, x, b); }).err, "");
  EXPECT_TRUE(ok);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], exact[i], 1e-10) << i;
}

}  // namespace
