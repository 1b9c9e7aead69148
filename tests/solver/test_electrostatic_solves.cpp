// The solves of the electrostatic model: grounded walls, the zero-gradient box
// without held nodes (zero mean), Boltzmann electrons at equilibrium.
#include <gtest/gtest.h>

#include <cmath>

#include "mesh/constants.h"
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

// An uneven charge on 9 x 8 x 7 nodes 5 mm apart, as a deposition leaves it.
std::unique_ptr<World> chargedBox() {
  auto w = makeWorld(9, 8, 7, {0.005, 0.005, 0.005});
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 8; ++j)
      for (int k = 0; k < 7; ++k) w->rho(i, j, k) = 1e-8 * (std::sin(0.7 * i + 0.3 * j) + 0.5 * std::cos(1.3 * k));
  return w;
}

// The linear system with the walls held at value 0 or copying their neighbour,
// solved directly; zero_mean: the source's interior mean removed and the
// solution shifted to mean 0 (with a pin making the direct system regular)
// over the nodes other than the two corners the relaxation holds at 0 V.
Field directSolution(World& w, bool grounded, bool zero_mean) {
  PotentialSettings settings = potential(1, 1, 1.0);
  settings.grounded_walls = grounded;
  PotentialSolver s(w, settings);
  s.assembleMatrix();
  const Grid& g = w.grid;
  DenseVector rho = fieldToVector(w.rho), b(rho.size(), 0.0);
  double mean = 0.0;
  int interior = 0;
  for (std::size_t u = 0; u < b.size(); ++u)
    if (s.node_type[u] == NODE_INTERIOR) mean += rho[u] / EPS_0, ++interior;
  mean = zero_mean ? mean / interior : 0.0;
  for (std::size_t u = 0; u < b.size(); ++u) b[u] = s.node_type[u] == NODE_INTERIOR ? -(rho[u] / EPS_0 - mean) : 0.0;
  if (zero_mean) {  // pin one interior node; the mean is fixed afterwards
    const auto pin = static_cast<int32_t>(unknownIndex(4, 4, 3, g.ni, g.nj));
    s.A.rows[static_cast<std::size_t>(pin)] = MatrixRow{};
    s.A(pin, pin) = 1.0;
    b[static_cast<std::size_t>(pin)] = 0.0;
  }
  DenseVector x = denseSolve(s.A, b);
  if (zero_mean) {
    double m = 0.0;
    for (std::size_t u = 1; u + 1 < x.size(); ++u) m += x[u];
    for (std::size_t u = 1; u + 1 < x.size(); ++u) x[u] -= m / static_cast<double>(x.size() - 2);
    x.front() = x.back() = 0.0;
  }
  Field phi(g.ni, g.nj, g.nk);
  vectorToField(x, phi);
  return phi;
}

TEST(ElectrostaticSolves, GroundedAndZeroMeanSystemsMatchTheDirectSolution) {
  for (const bool grounded : {true, false}) {
    for (const bool multigrid : {true, false}) {
      SCOPED_TRACE(testing::Message() << (grounded ? "grounded" : "zero gradient") << (multigrid ? ", multigrid" : ", SOR"));
      auto w = chargedBox(), reference = chargedBox();
      const Field exact = directSolution(*reference, grounded, !grounded);
      PotentialSettings settings = potential(0, multigrid ? 100 : 20000, 1e-3);
      settings.multigrid = multigrid;
      settings.grounded_walls = grounded;
      settings.zero_mean_when_singular = true;
      settings.quiet = true;
      PotentialSolver s(*w, settings);
      s.buildMatrix();
      bool ok = false;
      for (int step = 0; step < 2; ++step) {  // a second solve starts from the first's potential
        const Console c = captureConsole([&] { ok = s.solve(); });
        ASSERT_TRUE(ok) << c.err;
        EXPECT_EQ(c.out, "");  // quiet: not even the residuals
        EXPECT_EQ(c.err.find("warning: no object holds the potential") != std::string::npos, !grounded && step == 0);
      }
      EXPECT_GT(s.last_iterations, 0);
      EXPECT_LT(s.last_residual, 1e-3);
      double largest = 0.0;
      for (double v : exact.data) largest = std::max(largest, std::fabs(v));
      EXPECT_LT(maxDifference(w->phi.data, exact.data), 1e-6 * largest);
      if (grounded) {
        EXPECT_EQ(w->phi(0, 3, 3), 0.0);
      }
    }
  }
}

// Ions at the reference density everywhere: the Boltzmann electrons neutralise
// them at phi0, whatever the method and the walls.
TEST(ElectrostaticSolves, BoltzmannElectronsNeutraliseAUniformIonDensityAtPhi0) {
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

}  // namespace
