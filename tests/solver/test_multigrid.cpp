// The multigrid and relaxation solves against a direct solve of the same
// discrete systems, on every kind of wall and with Boltzmann electrons.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

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

double largest(const std::vector<double>& a) { return maxDifference(a, std::vector<double>(a.size(), 0.0)); }

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

// An uneven charge on 9 x 8 x 7 nodes 5 mm apart, as a deposition leaves it; no objects.
std::unique_ptr<World> chargedBox() {
  auto w = makeWorld(9, 8, 7, {0.005, 0.005, 0.005});
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 8; ++j)
      for (int k = 0; k < 7; ++k) w->rho(i, j, k) = 1e-8 * (std::sin(0.7 * i + 0.3 * j) + 0.5 * std::cos(1.3 * k));
  return w;
}

// The potential's system solved directly: the assembled rows, objects at their
// potential, walls at 0 V or copying their neighbour. With zero-gradient walls
// either the two corners the relaxation pins at 0 V, or (zero_mean: nothing
// holds the level) the source's interior mean removed and the solution shifted
// to mean 0 over the nodes other than those corners.
Field directPotential(World& w, bool grounded, bool zero_mean) {
  PotentialSettings settings = potential(1, 1, 1.0);
  settings.grounded_walls = grounded;
  PotentialSolver s(w, settings);
  s.assembleMatrix();
  const DenseVector rho = fieldToVector(w.rho), held = fieldToVector(w.phi);
  double mean = 0.0;
  int interior = 0;
  for (std::size_t u = 0; u < rho.size(); ++u)
    if (s.node_type[u] == NODE_INTERIOR) mean += rho[u] / EPS_0, ++interior;
  mean = zero_mean ? mean / interior : 0.0;
  DenseVector b(rho.size(), 0.0);
  for (std::size_t u = 0; u < b.size(); ++u)
    b[u] = s.node_type[u] == NODE_FIXED ? held[u] : s.node_type[u] == NODE_INTERIOR ? -(rho[u] / EPS_0 - mean) : 0.0;
  const std::vector<std::size_t> pins =
      zero_mean ? std::vector<std::size_t>{unknownIndex(4, 4, 3, w.grid.ni, w.grid.nj)} : std::vector<std::size_t>{0, b.size() - 1};
  for (const std::size_t u : pins) {
    s.A.rows[u] = MatrixRow{};
    s.A(static_cast<int32_t>(u), static_cast<int32_t>(u)) = 1.0;
    b[u] = 0.0;
  }
  DenseVector x = denseSolve(s.A, b);
  if (zero_mean) {
    double m = 0.0;
    for (std::size_t u = 1; u + 1 < x.size(); ++u) m += x[u];
    for (std::size_t u = 1; u + 1 < x.size(); ++u) x[u] -= m / static_cast<double>(x.size() - 2);
    x.front() = x.back() = 0.0;
  }
  Field phi(w.grid.ni, w.grid.nj, w.grid.nk);
  vectorToField(x, phi);
  return phi;
}

TEST(PotentialSolves, MultigridAndRelaxationEqualTheDirectSolution) {
  const struct {
    const char* what;
    std::function<std::unique_ptr<World>()> world;
    bool grounded, zero_mean;
    double tol, bound;  // V/m^2; bound relative to the largest potential
  } cases[] = {
      {"capacitor, pinned corners", capacitor, false, false, 1e-4, 1e-9},  // against sources of 1e5
      {"grounded walls", chargedBox, true, false, 1e-3, 1e-6},
      {"zero gradient, nothing holds the level", chargedBox, false, true, 1e-3, 1e-6},
  };
  for (const auto& c : cases)
    for (const bool multigrid : {true, false}) {
      SCOPED_TRACE(testing::Message() << c.what << (multigrid ? ", multigrid" : ", relaxation"));
      auto w = c.world(), reference = c.world();
      const Field exact = directPotential(*reference, c.grounded, c.zero_mean);
      PotentialSettings settings = potential(0, multigrid ? 200 : 20000, c.tol);
      settings.multigrid = multigrid;
      settings.grounded_walls = c.grounded;
      settings.zero_mean_when_singular = c.grounded || c.zero_mean;
      settings.quiet = !multigrid;  // quiet: the per-step solves print nothing, not even the residuals
      PotentialSolver s(*w, settings);
      s.buildMatrix();
      for (int step = 0; step < 2; ++step) {  // a second solve starts from the first's potential
        bool ok = false;
        const Console con = captureConsole([&] { ok = s.solve(); });
        ASSERT_TRUE(ok) << con.err;
        EXPECT_EQ(con.err.find("warning: no object holds the potential") != std::string::npos, c.zero_mean && step == 0);
        if (settings.quiet) {
          EXPECT_EQ(con.out, "");
        } else {
          EXPECT_EQ(con.out.rfind("potential solve\n", 0), 0u);
          EXPECT_LT(std::stod(con.out.substr(con.out.rfind('\n', con.out.size() - 2) + 1)), c.tol);
        }
      }
      EXPECT_GT(s.last_iterations, 0);
      EXPECT_LT(s.last_residual, c.tol);
      EXPECT_LT(maxDifference(w->phi.data, exact.data), c.bound * largest(exact.data));
      EXPECT_TRUE(!c.grounded || w->phi(0, 3, 3) == 0.0);
    }
}

TEST(PotentialSolves, MagnetisedSphereByMultigridEqualsTheDirectSolve) {
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
  EXPECT_LT(maxDifference(s.x, exact), 1e-9 * largest(exact));
  EXPECT_LT(maxDifference(fieldToVector(w->phi_m), exact), 1e-9 * largest(exact));
}

// Too few iterations, by relaxation or multigrid: "potential solve", one
// residual line per round, the failure line, and the object nodes kept.
TEST(PotentialSolves, AnIterationLimitTooSmallGivesTheFailureLine) {
  auto empty = makeWorld(6, 5, 4);  // no charge, no objects, phi = 0: solved at once
  PotentialSolver solved(*empty, potential(0, 100, 1e-300));
  bool ok = false;
  EXPECT_EQ(captureConsole([&] { ok = solved.solveSORParallel(); }).out, "potential solve\n0\n");
  EXPECT_TRUE(ok);
  const struct {
    bool multigrid;
    int max_it, residual_lines;
  } cases[] = {{false, 0, 0}, {false, -1, 0}, {false, 51, 3}, {true, 0, 0}, {true, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.multigrid ? "multigrid " : "relaxation ") << c.max_it);
    auto w = capacitor();
    PotentialSettings settings = potential(0, c.max_it, 1e-12);
    settings.multigrid = c.multigrid;
    PotentialSolver s(*w, settings);
    s.buildMatrix();
    const Console con = captureConsole([&] { ok = s.solve(); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(con.out.rfind("potential solve\n", 0), 0u);
    EXPECT_EQ(con.outLines(), 1 + c.residual_lines) << con.out;
    EXPECT_EQ(con.err.rfind(c.residual_lines ? "GS failed to converge, L2=" : "GS failed to converge, L2=0\n", 0), 0u)
        << con.err;
    EXPECT_EQ(w->phi(1, 3, 3), 270.0);
  }
}

// Ions at the reference density everywhere: the Boltzmann electrons neutralise
// them at phi0, whatever the method and the walls. The start is then exact, so
// a conjugate-gradient step that divided 0 by 0 would show as NaN.
TEST(PotentialSolves, BoltzmannElectronsNeutraliseAUniformIonDensityAtPhi0) {
  const double ne0 = 3e12, phi0 = 2.5;
  for (int method : {1, 2, 3})
    for (const bool multigrid : {false, true}) {
      auto w = makeWorld(8, 8, 8, {0.002, 0.002, 0.002});
      for (double& r : w->rho.data) r = ne0 * QE;
      PotentialSettings settings = potential(method, 500, 1e-6, phi0, ne0, 1.5);
      settings.multigrid = multigrid;
      settings.zero_mean_when_singular = true;
      PotentialSolver s(*w, settings);
      s.buildMatrix();
      for (int step = 0; step < 3; ++step) captureConsole([&] { s.solve(); });
      for (double v : w->phi.data) ASSERT_NEAR(v, phi0, 1e-9) << "method " << method << (multigrid ? " multigrid" : "");
    }
}

// Newton's iteration with multigrid steps converges to the solution of the
// PCG steps, for method 1 and for method 3's (identical) equations.
TEST(PotentialSolves, NewtonStepsByMultigridReachTheSameSolution) {
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
