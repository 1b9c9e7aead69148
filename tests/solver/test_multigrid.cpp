// The multigrid solves against a direct solve of the same discrete systems, and
// against the relaxation's converged fixed point.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/constants.h"
#include "solver/MagnetostaticSolver.h"
#include "solver/PotentialSolver.h"
#include "denseSolve.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0;
  for (std::size_t n = 0; n < a.size(); ++n) d = std::max(d, std::fabs(a[n] - b[n]));
  return d;
}

// Plates at 270 V and 0 V across a 10 x 8 x 9 box 1 cm apart, a charged
// cloud between them; object nodes on the walls too.
std::unique_ptr<World> capacitor() {
  auto w = makeWorld(10, 8, 9, {0.01, 0.01, 0.01});
  for (int j = 0; j < 8; ++j)
    for (int k = 0; k < 9; ++k) {
      w->object_id(1, j, k) = w->object_id(8, j, k) = 1;
      w->phi(1, j, k) = 270.0;
    }
  for (int i = 3; i <= 6; ++i)
    for (int j = 2; j <= 5; ++j)
      for (int k = 3; k <= 5; ++k) w->rho(i, j, k) = 1e-6 * (i + j - k);  // C/m^3
  return w;
}

// The potential's system solved directly: the rows of the assembled operator,
// with the two corners the relaxation pins at 0 V.
Field directPotential(World& w) {
  PotentialSolver s(w, potential(1, 1, 1.0));
  s.assembleMatrix();
  const Grid& g = w.grid;
  DenseVector b = fieldToVector(w.rho);
  for (std::size_t u = 0; u < b.size(); ++u)
    b[u] = s.node_type[u] == NODE_FIXED ? fieldToVector(w.phi)[u] : s.node_type[u] == NODE_WALL ? 0.0 : -b[u] / EPS_0;
  for (const std::size_t u : {std::size_t{0}, b.size() - 1}) {
    s.A.rows[u] = MatrixRow{};
    s.A(static_cast<int32_t>(u), static_cast<int32_t>(u)) = 1.0;
    b[u] = 0.0;
  }
  Field phi(g.ni, g.nj, g.nk);
  vectorToField(denseSolve(s.A, b), phi);
  return phi;
}

TEST(Multigrid, PotentialEqualsTheDirectSolveAndTheRelaxationFixedPoint) {
  auto mg = capacitor(), sor = capacitor(), direct = capacitor();
  const Field exact = directPotential(*direct);
  PotentialSettings settings = potential(0, 200, 1e-4);  // V/m^2, against sources of 1e5
  settings.multigrid = true;
  PotentialSolver s(*mg, settings);
  s.buildMatrix();
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solve(); });
  ASSERT_TRUE(ok) << c.err;
  EXPECT_EQ(c.out.rfind("potential solve\n", 0), 0u);
  EXPECT_LT(std::stod(c.out.substr(c.out.rfind('\n', c.out.size() - 2) + 1)), 1e-4);
  EXPECT_LT(maxDifference(mg->phi.data, exact.data), 1e-9 * 270);

  PotentialSolver relax(*sor, potential(0, 20000, 1e-4));
  relax.buildMatrix();
  const Console r = captureConsole([&] { ok = relax.solve(); });
  ASSERT_TRUE(ok) << r.err;
  EXPECT_LT(maxDifference(sor->phi.data, exact.data), 1e-9 * 270);
}

TEST(Multigrid, MagnetisedSphereEqualsTheDirectSolve) {
  auto w = makeWorld(10, 9, 8, {0.001, 0.001, 0.001});
  for (int i = 0; i < 10; ++i)
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < 8; ++k)
        if (std::pow(i - 4.5, 2) + std::pow(j - 4, 2) + std::pow(k - 3.5, 2) < 6.5) w->M(i, j, k) = {0, 2e5, 1e5};
  MagnetostaticSettings settings = magnetostatic(100, 1e-3);  // A/m^2, against divergences of 1e8
  settings.multigrid = true;
  MagnetostaticSolver s(*w, settings);
  DenseVector b = s.divergence(w->M);
  b[static_cast<std::size_t>(s.pin_node_1)] = 0.0;
  const DenseVector exact = denseSolve(assembleMagnetostaticMatrix(s), b);
  bool ok = false;
  const Console c = captureConsole([&] { ok = s.solveMagnetostatics(); });
  ASSERT_TRUE(ok) << c.err;
  double largest = 0.0;
  for (double v : exact) largest = std::max(largest, std::fabs(v));
  EXPECT_LT(maxDifference(s.x, exact), 1e-9 * largest);
  EXPECT_LT(maxDifference(fieldToVector(w->phi_m), exact), 1e-9 * largest);
}

// As with the relaxation: the failure line, and the last iterate is kept.
TEST(Multigrid, AnIterationLimitTooSmallGivesTheFailureLine) {
  for (int max_it : {0, 1}) {
    auto w = capacitor();
    PotentialSettings settings = potential(0, max_it, 1e-12);
    settings.multigrid = true;
    PotentialSolver s(*w, settings);
    s.buildMatrix();
    bool ok = true;
    const Console c = captureConsole([&] { ok = s.solve(); });
    EXPECT_FALSE(ok) << max_it;
    EXPECT_EQ(c.err.rfind("GS failed to converge, L2=", 0), 0u) << max_it;
    EXPECT_EQ(c.outLines(), max_it == 0 ? 1 : 2) << c.out;  // "potential solve", then one residual per round
    EXPECT_EQ(w->phi(1, 3, 3), 270.0);
  }
}

// Newton's iteration with multigrid steps converges to the solution of the
// PCG steps, for method 1 and for method 3's (identical) equations.
TEST(Multigrid, NewtonStepsByMultigridReachTheSameSolution) {
  auto make = [] {
    auto w = makeWorld(9, 9, 9, {0.002, 0.002, 0.002});
    for (int i = 0; i < 9; ++i)
      for (int j = 0; j < 9; ++j)
        for (int k = 0; k < 9; ++k) {
          w->rho(i, j, k) = 1e12 * QE * (1.0 + 0.3 * std::cos(0.5 * i));
          if (k == 4) w->object_id(i, j, k) = 1, w->phi(i, j, k) = 0.5;
        }
    return w;
  };
  auto reference = make();
  PotentialSolver pcg(*reference, potential(1, 500, 1e-4));
  pcg.buildMatrix();
  bool ok = false;
  captureConsole([&] { ok = pcg.solve(); });
  ASSERT_TRUE(ok);
  for (int method : {1, 3}) {
    auto w = make();
    PotentialSettings settings = potential(method, 500, 1e-4);
    settings.multigrid = true;
    PotentialSolver s(*w, settings);
    s.buildMatrix();
    const Console c = captureConsole([&] { ok = s.solve(); });
    ASSERT_TRUE(ok) << method << c.out << c.err;
    EXPECT_LT(s.pcg_iterations, pcg.pcg_iterations / 10);  // multigrid steps need far fewer iterations
    EXPECT_LT(maxDifference(w->phi.data, reference->phi.data), 2e-3) << method;  // both within the 1 mV Newton bound
  }
}

}  // namespace
