#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "mesh/constants.h"
#include "solver/PotentialSolver.h"
#include "solverTestSupport.h"

namespace {

constexpr double NE0 = 1e12;  // m^-3
constexpr double KTE = 1.5;   // eV

// 10^3 nodes 2 mm apart (the Debye length is about 9 mm) with an ion density
// that varies by +-30 % along x. The outer layer is an object held at the
// quasi-neutral potential (0.5 V higher on the face i = 0, so the solution is
// not the initial guess); optionally a plate at k = 4 is held at -2 V.
// (With zero-gradient walls the Jacobian has wall rows of positive and
// interior rows of negative diagonal; the conjugate-gradient steps then
// diverge and the method leans on its Gauss-Seidel fallback.)
std::unique_ptr<World> quasiNeutralWorld(bool plate) {
  const int n = 10;
  auto w = makeWorld(n, n, n, {0.002, 0.002, 0.002});
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      for (int k = 0; k < n; ++k) {
        const double ratio = 1.0 + 0.3 * std::cos(M_PI * i / (n - 1));
        w->rho(i, j, k) = NE0 * QE * ratio;
        const bool outer = i == 0 || j == 0 || k == 0 || i == n - 1 || j == n - 1 || k == n - 1;
        if (outer) {
          w->object_id(i, j, k) = 1;
          w->phi(i, j, k) = KTE * std::log(ratio) + (i == 0 ? 0.5 : 0.0);
        } else if (plate && k == 4) {
          w->object_id(i, j, k) = 1;
          w->phi(i, j, k) = -2.0;
        }
      }
  return w;
}

// The discrete Poisson-Boltzmann residual at phi: interior rows
// A phi + rho/eps0 - e ne0 exp((phi - phi0)/kTe)/eps0, wall rows A phi,
// object rows phi - (their potential).
DenseVector nonlinearResidual(const PotentialSolver& s, const Field& fixed_phi) {
  const DenseVector x = fieldToVector(s.world.phi);
  const DenseVector rho = fieldToVector(s.world.rho);
  const DenseVector fixed = fieldToVector(fixed_phi);
  DenseVector r = s.A * x;
  for (std::size_t u = 0; u < r.size(); ++u) {
    if (s.node_type[u] == NODE_INTERIOR)
      r[u] += rho[u] / EPS_0 - QE * s.ne0 * std::exp((x[u] - s.phi0) / s.kTe) / EPS_0;
    else if (s.node_type[u] == NODE_FIXED)
      r[u] = x[u] - fixed[u];
  }
  return r;
}

TEST(SolveNRPCG, ZeroIterationLimitMakesOneEmptyNewtonStep) {
  auto w = quasiNeutralWorld(true);
  PotentialSolver s(*w, 1, 0, 1e-3, 0.0, NE0, KTE);
  s.buildMatrix();
  const Field before = w->phi;
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solve(); });
  EXPECT_TRUE(ok);  // the update y stays 0, whose norm is below 0.001 V
  EXPECT_EQ(c.err, "PCG failed to converge, norm(g) = 0\nGS failed to converge, L2=0\n");
  EXPECT_EQ(c.out, "");
  EXPECT_EQ(w->phi.data, before.data);
  EXPECT_EQ(s.newton_steps, 1);
  EXPECT_EQ(s.pcg_iterations, 0);
}

TEST(SolveNRPCG, ExactStartConvergesInOneStepWithoutBreakingDown) {
  // rho = e ne0 everywhere: the Boltzmann guess phi0 is the exact solution,
  // the first Newton residual is exactly 0 and the conjugate-gradient step
  // would divide 0 by 0.
  auto w = makeWorld(6, 6, 6, {0.002, 0.002, 0.002});
  for (double& r : w->rho.data) r = NE0 * QE;
  PotentialSolver s(*w, 1, 50, 1e-3, 0.25, NE0, KTE);
  s.buildMatrix();
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solve(); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(c.out + c.err, "");
  EXPECT_EQ(s.newton_steps, 1);
  for (double v : w->phi.data) ASSERT_EQ(v, 0.25);
}

TEST(SolveNRPCG, ConvergedPotentialSatisfiesTheNonlinearEquation) {
  for (bool plate : {false, true}) {
    SCOPED_TRACE(plate ? "with plate" : "without objects");
    auto w = quasiNeutralWorld(plate);
    const double tol = 1e-2;  // V/m^2, root mean square
    PotentialSolver s(*w, 1, 500, tol, 0.0, NE0, KTE);
    s.buildMatrix();
    const Field fixed = w->phi;  // holds the plate potential on object nodes
    bool ok = false;
    captureConsole([&] { ok = s.solve(); });
    ASSERT_TRUE(ok);
    // Each linear solve ends below tol and the last Newton update is below
    // 1 mV, so the nonlinear residual is of the order of tol.
    EXPECT_LT(norm(nonlinearResidual(s, fixed)), 10 * tol);
    for (std::size_t n = 0; n < w->phi.size(); ++n) {
      if (w->object_id.data[n] > 0) {
        ASSERT_EQ(w->phi.data[n], fixed.data[n]);
      }
    }
    EXPECT_NE(w->phi(1, 5, 5), fixed(1, 5, 5));  // the free nodes did move
  }
}

// Tridiagonal symmetric positive definite test system solved directly by
// elimination (Thomas algorithm).
TEST(SolvePCG, MatchesADirectSolutionOnASymmetricPositiveDefiniteSystem) {
  const int n = 30;
  SparseMatrix A(n);
  DenseVector b(n), diag(n), lower(n, -1.0), upper(n, -1.0);
  for (int i = 0; i < n; ++i) {
    diag[i] = 2.0 + 0.1 * (i % 4);
    if (i > 0) A(i, i - 1) = -1.0;
    A(i, i) = diag[i];
    if (i < n - 1) A(i, i + 1) = -1.0;
    b[i] = std::sin(0.3 * i) + 0.5;
  }
  DenseVector c(n), d(n), direct(n);
  c[0] = upper[0] / diag[0];
  d[0] = b[0] / diag[0];
  for (int i = 1; i < n; ++i) {
    const double m = diag[i] - lower[i] * c[i - 1];
    c[i] = upper[i] / m;
    d[i] = (b[i] - lower[i] * d[i - 1]) / m;
  }
  direct[n - 1] = d[n - 1];
  for (int i = n - 2; i >= 0; --i) direct[i] = d[i] - c[i] * direct[i + 1];

  auto w = makeWorld(3, 3, 3);
  PotentialSolver s(*w, 1, 200, 1e-12, 0.0, NE0, KTE);
  DenseVector x(n, 0.0);
  bool ok = false;
  const Console con = captureConsole([&] { ok = s.solvePCG(A, x, b); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(con.err, "");
  for (int i = 0; i < n; ++i) EXPECT_NEAR(x[i], direct[i], 1e-10) << i;

  // One iteration is not enough: the failure line names the last norm(g).
  s.max_it = 1;
  x.assign(n, 0.0);
  const Console fail = captureConsole([&] { ok = s.solvePCG(A, x, b); });
  EXPECT_FALSE(ok);
  ASSERT_EQ(fail.err.rfind("PCG failed to converge, norm(g) = ", 0), 0u);
  EXPECT_GT(std::stod(fail.err.substr(34)), 1e-3);
  EXPECT_NE(x, DenseVector(n, 0.0));
}

}  // namespace
