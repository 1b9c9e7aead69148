#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "solver/PotentialSolver.h"
#include "solver/gaussSeidel.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

TEST(SolveGS, ResidualLinesEveryTwentyFiveSweepsAndTheFailureLine) {
  auto w = makeWorld(3, 3, 3);
  const int n = 40;  // diagonally dominant tridiagonal system, far from solved after a few sweeps
  SparseMatrix A(n);
  for (int i = 0; i < n; ++i) {
    if (i > 0) A(i, i - 1) = -1.0;
    A(i, i) = 2.001;
    if (i < n - 1) A(i, i + 1) = -1.0;
  }
  for (const auto& [max_it, lines] : std::vector<std::pair<int, int>>{{0, 0}, {-3, 0}, {25, 1}, {26, 2}}) {
    DenseVector x(n, 0.0);
    bool ok = true;
    const Console c = captureConsole([&] { ok = solveGS(A, x, DenseVector(n, 1.0), control(max_it, 1e-30), n); });
    EXPECT_FALSE(ok) << max_it;
    EXPECT_EQ(c.outLines(), lines) << max_it;
    // The failure line repeats the last residual printed, or 0 without sweeps.
    const std::string last = lines ? c.out.substr(c.out.rfind('\n', c.out.size() - 2) + 1) : "0\n";
    EXPECT_EQ(c.err, "GS failed to converge, L2=" + (lines == 1 ? c.out : last)) << max_it;
    EXPECT_EQ(x == DenseVector(n, 0.0), lines == 0);
  }
  // The identity solves in one sweep; residual 0 against tolerance 0 does not stop.
  SparseMatrix I(5);
  for (int i = 0; i < 5; ++i) I(i, i) = 1.0;
  const DenseVector b{1, -2, 3.5, 0, 1e300};
  for (const double tol : {1e-12, 0.0}) {
    DenseVector x(5, 0.0);
    bool solved = tol == 0;
    const Console c = captureConsole([&] { solved = solveGS(I, x, b, control(30, tol), 5); });
    EXPECT_TRUE(solved == (tol > 0) && x == b);
    EXPECT_EQ(c.out + c.err, tol > 0 ? "0\n" : "0\n0\nGS failed to converge, L2=0\n");
  }
}

// Plates at 270 V (i = 1) and 0 V (i = ni - 2): linear between them. The
// corner (0,0,0) pinned at 0 V beside the 270 V plate does not count in the
// residual, so the solve converges.
TEST(SolveSORParallel, PlateCapacitorGivesALinearPotential) {
  const int ni = 16, nj = 6, nk = 6;
  auto w = makeWorld(ni, nj, nk, {0.01, 0.01, 0.01});
  for (int j = 0; j < nj; ++j)
    for (int k = 0; k < nk; ++k) {
      w->object_id(1, j, k) = w->object_id(ni - 2, j, k) = 1;
      w->phi(1, j, k) = 270.0;
    }
  PotentialSolver s(*w, potential(0, 5000, 1e-6));
  s.buildMatrix();  // starts from the Boltzmann guess, about -20.7 V
  bool ok = false;
  const Console console = captureConsole([&] { ok = s.solve(); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(console.err, "");
  for (int i = 1; i <= ni - 2; ++i)
    for (int j = 0; j < nj; ++j)
      for (int k = 0; k < nk; ++k)
        ASSERT_NEAR(w->phi(i, j, k), 270.0 * (ni - 2 - i) / (ni - 3), 1e-6) << i << "," << j << "," << k;
}

// Method 3: Boltzmann electrons, one thread, no pinned corners; the plate at
// 1 V fixes the level and the walls keep a zero normal gradient.
TEST(SolveSORBoltzmann, ConvergesWithoutPinnedCorners) {
  const int n = 8;
  auto w = makeWorld(n, n, n, {0.002, 0.002, 0.002});
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) w->rho(i, j, k) = 1e12 * 1.602176565e-19 * (1.0 + 0.3 * std::cos(0.4 * i));
      w->object_id(i, j, 3) = 1;
      w->phi(i, j, 3) = 1.0;
    }
  PotentialSolver s(*w, potential(3, 4000, 1.0));
  s.buildMatrix();
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solve(); });
  ASSERT_TRUE(ok) << c.err;
  EXPECT_EQ(c.out.rfind("potential solve\n", 0), 0u);
  const std::string last = c.out.substr(c.out.rfind('\n', c.out.size() - 2) + 1);
  EXPECT_LT(std::stod(last), 1.0);  // the printed residual that stopped the solve
  EXPECT_EQ(w->phi(3, 3, 3), 1.0);
  EXPECT_NE(w->phi(0, 0, 0), 0.0);
  EXPECT_NEAR(w->phi(0, 2, 2), w->phi(1, 2, 2), 1e-6);
}

}  // namespace
