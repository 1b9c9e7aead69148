#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>

#include "solver/MagnetostaticSolver.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

double maxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0;
  for (std::size_t n = 0; n < a.size(); ++n) d = std::max(d, std::fabs(a[n] - b[n]));
  return d;
}

double largest(const std::vector<double>& a) { return maxDifference(a, std::vector<double>(a.size(), 0.0)); }

// Solves A x = b by Gaussian elimination with partial pivoting on a dense copy
// of A: the reference for the iterative solves (fine up to a few thousand unknowns).
DenseVector denseSolve(const SparseMatrix& A, DenseVector b) {
  const auto n = static_cast<std::size_t>(A.nu);
  std::vector<double> m(n * n, 0.0);
  for (std::size_t r = 0; r < n; ++r)
    for (const auto& [c, a] : slots(A.rows[r])) m[r * n + static_cast<std::size_t>(c)] = a;
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < n; ++r) p = std::fabs(m[r * n + c]) > std::fabs(m[p * n + c]) ? r : p;
    if (p != c) std::swap_ranges(m.begin() + c * n, m.begin() + (c + 1) * n, m.begin() + p * n), std::swap(b[c], b[p]);
    for (std::size_t r = c + 1; r < n; ++r) {
      const double f = m[r * n + c] / m[c * n + c];
      for (std::size_t k = c; k < n && f != 0.0; ++k) m[r * n + k] -= f * m[c * n + k];
      b[r] -= f * b[c];
    }
  }
  DenseVector x(n);
  for (std::size_t r = n; r-- > 0;) {
    double s = b[r];
    for (std::size_t k = r + 1; k < n; ++k) s -= m[r * n + k] * x[k];
    x[r] = s / m[r * n + r];
  }
  return x;
}

// The plates, which reach the walls, with a charged cloud between them.
std::unique_ptr<World> capacitor() {
  auto w = plateCapacitor(10, 8, 9);
  eachNode(*w, [&](int i, int j, int k) {
    if (i >= 3 && i <= 6 && j >= 2 && j <= 5 && k >= 3 && k <= 5) w->rho(i, j, k) = 1e-6 * (i + j - k);  // C/m^3
  });
  return w;
}

// An uneven charge on 9 x 8 x 7 nodes 5 mm apart, as a deposition leaves it; no objects.
std::unique_ptr<World> chargedBox() {
  auto w = makeWorld(9, 8, 7, {0.005, 0.005, 0.005});
  eachNode(*w, [&](int i, int j, int k) { w->rho(i, j, k) = 1e-8 * (std::sin(0.7 * i + 0.3 * j) + 0.5 * std::cos(1.3 * k)); });
  return w;
}

// The potential's system solved directly: the assembled rows, objects at their
// potential, walls at 0 V or copying their neighbour. With zero-gradient walls
// either the two corners the relaxation pins at 0 V, or (zero_mean: nothing
// holds the level) the source's interior mean removed and the solution shifted
// to mean 0 over the nodes other than those corners. In unknown order.
DenseVector directPotential(World& w, bool grounded, bool zero_mean) {
  PotentialSettings settings = potential(1, 1, 1.0);
  settings.grounded_walls = grounded;
  PotentialSolver s(w, settings);
  s.assembleMatrix();
  const DenseVector rho = fieldToVector(w.rho), held = fieldToVector(w.phi);
  double mean = 0.0, interior = 0.0;
  for (std::size_t u = 0; u < rho.size(); ++u)
    if (s.node_type[u] == NODE_INTERIOR) mean += rho[u] / EPS_0, ++interior;
  mean = zero_mean ? mean / interior : 0.0;
  DenseVector b(rho.size(), 0.0);
  for (std::size_t u = 0; u < b.size(); ++u)
    b[u] = s.node_type[u] == NODE_FIXED ? held[u] : s.node_type[u] == NODE_INTERIOR ? -(rho[u] / EPS_0 - mean) : 0.0;
  for (const std::size_t u : zero_mean ? std::vector<std::size_t>{unknownIndex(4, 4, 3, w.grid.ni, w.grid.nj)}
                                       : std::vector<std::size_t>{0, b.size() - 1})
    s.A.rows[u] = MatrixRow{}, s.A(static_cast<int32_t>(u), static_cast<int32_t>(u)) = 1.0, b[u] = 0.0;
  DenseVector x = denseSolve(s.A, b);
  if (!zero_mean) return x;
  const double m = std::accumulate(x.begin() + 1, x.end() - 1, 0.0) / static_cast<double>(x.size() - 2);
  for (double& v : x) v -= m;
  x.front() = x.back() = 0.0;
  return x;
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
      const DenseVector exact = directPotential(*reference, c.grounded, c.zero_mean);
      PotentialSettings settings = potential(0, multigrid ? 200 : 20000, c.tol);
      settings.grounded_walls = c.grounded;
      settings.zero_mean_when_singular = c.grounded || c.zero_mean;
      settings.quiet = !multigrid;  // quiet: the per-step solves print nothing, not even the residuals
      const auto s = potentialSolver(*w, settings, multigrid);
      for (int step = 0; step < 2; ++step) {  // a second solve starts from the first's potential
        const Console con = captureConsole([&] { return s->solve(); });
        ASSERT_TRUE(con.ok) << con.err;
        EXPECT_EQ(con.err.find("warning: no object holds the potential") != std::string::npos, c.zero_mean && step == 0);
        EXPECT_TRUE(settings.quiet ? con.out.empty() : con.out.starts_with("potential solve\n") && std::stod(con.lastLine()) < c.tol)
            << con.out;
      }
      EXPECT_GT(s->last_iterations, 0);
      EXPECT_LT(s->last_residual, c.tol);
      EXPECT_LT(maxDifference(fieldToVector(w->phi), exact), c.bound * largest(exact));
      EXPECT_TRUE(!c.grounded || w->phi(0, 3, 3) == 0.0);
    }
}

TEST(PotentialSolves, MagnetisedSphereByMultigridEqualsTheDirectSolve) {
  auto w = makeWorld(10, 9, 8, {0.001, 0.001, 0.001});
  eachNode(*w, [&](int i, int j, int k) {
    if (std::pow(i - 4.5, 2) + std::pow(j - 4, 2) + std::pow(k - 3.5, 2) < 6.5) w->M(i, j, k) = {0, 2e5, 1e5};
  });
  MagnetostaticSettings settings = magnetostatic(100, 1e-3);  // A/m^2, against divergences of 1e8
  settings.multigrid = true;
  MagnetostaticSolver s(*w, settings);
  DenseVector b = s.divergence(w->M);
  b[static_cast<std::size_t>(s.pin_node_1)] = 0.0;
  const DenseVector exact = denseSolve(assembleMagnetostaticMatrix(s), b);
  const Console c = captureConsole([&] { return s.solveMagnetostatics(); });
  ASSERT_TRUE(c.ok) << c.err;
  EXPECT_LT(maxDifference(s.x, exact), 1e-9 * largest(exact));
  EXPECT_LT(maxDifference(fieldToVector(w->phi_m), exact), 1e-9 * largest(exact));
}

// H = -M/3 inside in free space; the zero-gradient walls add mirror images whose
// six nearest, at L = (n - 2) h, add -(8/3) (R/L)^3 M at the centre. Further
// images and the staircase surface (about 4 % of M/3 here) are left to the tolerance.
TEST(MagnetostaticSolver, UniformlyMagnetisedSphereHasMinusAThirdOfMInside) {
  const int n = 16;
  const double h = 0.001, radius = 4.5 * h, m0 = 1.0e6;  // m, m, A/m
  auto w = makeWorld(n, n, n, {h, h, h});
  const double c = (n / 2 - 0.5) * h;
  const auto r2 = [&](int i, int j, int k) { return std::pow(i * h - c, 2) + std::pow(j * h - c, 2) + std::pow(k * h - c, 2); };
  eachNode(*w, [&](int i, int j, int k) { w->M(i, j, k) = {0.0, 0.0, r2(i, j, k) <= radius * radius ? m0 : 0.0}; });
  // Multigrid: with the pin fixing the level, relaxation would need tens of
  // thousands of sweeps here. A/m^2; the divergence at the surface is about 5e8.
  MagnetostaticSettings settings = magnetostatic(200, 1e2);
  settings.multigrid = true;
  MagnetostaticSolver s(*w, settings);
  const Console con = captureConsole([&] { return s.solveMagnetostatics(); });
  ASSERT_TRUE(con.ok) << con.err;
  double hz = 0.0, hx = 0.0;
  int count = 0;
  eachNode(*w, [&](int i, int j, int k) {
    if (r2(i, j, k) > 0.25 * radius * radius) return;
    hz += w->H(i, j, k).z, hx += std::abs(w->H(i, j, k).x), ++count;
    EXPECT_EQ(w->B(i, j, k), MU_0 * w->M(i, j, k));  // magnetised nodes take B from M alone
  });
  ASSERT_GT(count, 0);
  const double images = -(8.0 / 3.0) * std::pow(radius / ((n - 2) * h), 3) * m0;
  EXPECT_NEAR(hz / count, -m0 / 3.0 + images, 0.05 * m0 / 3.0);
  EXPECT_LT(hx / count, 0.02 * m0);
  EXPECT_EQ(w->B(2, 3, 4), MU_0 * w->H(2, 3, 4));  // outside the magnet B is MU_0 H
  EXPECT_EQ(w->phi_m(1, 1, 1), 0.0);               // the pinned node: the origin clamped off the walls
}

// Too few iterations, by relaxation or multigrid: "potential solve", one
// residual line per round, the failure line, and the object nodes kept.
TEST(PotentialSolves, AnIterationLimitTooSmallGivesTheFailureLine) {
  auto empty = makeWorld(6, 5, 4);  // no charge, no objects, phi = 0: solved at once
  PotentialSolver solved(*empty, potential(0, 100, 1e-300));
  const Console done = captureConsole([&] { return solved.solveSORParallel(); });
  EXPECT_TRUE(done.ok && done.out == "potential solve\n0\n") << done.out;
  const struct {
    bool multigrid;
    int max_it, residual_lines;
  } cases[] = {{false, 0, 0}, {false, -1, 0}, {false, 51, 3}, {true, 0, 0}, {true, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.multigrid ? "multigrid " : "relaxation ") << c.max_it);
    auto w = capacitor();
    const auto s = potentialSolver(*w, potential(0, c.max_it, 1e-12), c.multigrid);
    const Console con = captureConsole([&] { return s->solve(); });
    EXPECT_TRUE(!con.ok && con.out.starts_with("potential solve\n") && con.outLines() == 1 + c.residual_lines) << con.out;
    EXPECT_TRUE(con.err.starts_with(c.residual_lines ? "GS failed to converge, L2=" : "GS failed to converge, L2=0\n"))
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
      settings.zero_mean_when_singular = true;
      const auto s = potentialSolver(*w, settings, multigrid);
      for (int step = 0; step < 3; ++step) captureConsole([&] { return s->solve(); });
      for (double v : w->phi.data) ASSERT_NEAR(v, phi0, 1e-9) << "method " << method << (multigrid ? " multigrid" : "");
    }
}

// Newton's iteration with multigrid steps converges to the solution of the
// PCG steps, for method 1 and for method 3's (identical) equations.
TEST(PotentialSolves, NewtonStepsByMultigridReachTheSameSolution) {
  const auto make = [] { return ionWave(9, 1e12, 0.5, 4, 0.5); };
  auto reference = make();
  const auto pcg = potentialSolver(*reference, potential(1, 500, 1e-4));
  ASSERT_TRUE(captureConsole([&] { return pcg->solve(); }).ok);
  for (int method : {1, 3}) {
    auto w = make();
    const auto s = potentialSolver(*w, potential(method, 500, 1e-4), true);
    const Console c = captureConsole([&] { return s->solve(); });
    ASSERT_TRUE(c.ok) << method << c.out << c.err;
    EXPECT_LT(s->pcg_iterations, pcg->pcg_iterations / 10);  // multigrid steps need far fewer iterations
    EXPECT_LT(maxDifference(w->phi.data, reference->phi.data), 2e-3) << method;  // both within the 1 mV Newton bound
  }
}

}  // namespace
