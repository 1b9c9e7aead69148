// The solvers' matrices, and their solves against direct solutions and known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

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

// The potential solved directly; with zero-gradient walls the relaxation's two
// pinned corners, or (zero_mean) the interior mean removed and the solution
// shifted to mean 0.
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

// H = -M/3 inside; the six nearest wall images add -(8/3) (R/L)^3 M.
TEST(MagnetostaticSolver, UniformlyMagnetisedSphereHasMinusAThirdOfMInside) {
  const int n = 16;
  const double h = 0.001, radius = 4.5 * h, m0 = 1.0e6;  // m, m, A/m
  auto w = makeWorld(n, n, n, {h, h, h});
  const double c = (n / 2 - 0.5) * h;
  const auto r2 = [&](int i, int j, int k) { return std::pow(i * h - c, 2) + std::pow(j * h - c, 2) + std::pow(k * h - c, 2); };
  eachNode(*w, [&](int i, int j, int k) { w->M(i, j, k) = {0.0, 0.0, r2(i, j, k) <= radius * radius ? m0 : 0.0}; });
  // Relaxation would need tens of thousands of sweeps here; the surface divergence is 5e8.
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

// Too few iterations: a residual line per round, the failure line, object nodes kept.
TEST(PotentialSolves, AnIterationLimitTooSmallGivesTheFailureLine) {
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

// Boltzmann electrons neutralise a uniform reference density at phi0; an
// exact start would show a 0/0 conjugate-gradient step as NaN.
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

// Newton with multigrid steps reaches the PCG steps' solution, for methods 1 and 3.
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

constexpr double NE0 = 1e12;  // m^-3
constexpr double KTE = 1.5;   // eV

// Ions +-30 % along x; the outer layer held at the quasi-neutral potential
// (0.5 V higher at i = 0); optionally a plate at k = 4 holds -2 V.
std::unique_ptr<World> quasiNeutralWorld(bool plate) {
  auto w = ionWave(10, NE0, M_PI / 9, plate ? 4 : -1, -2.0);
  eachNode(*w, [&](int i, int j, int k) {
    if (i == 0 || j == 0 || k == 0 || i == 9 || j == 9 || k == 9)
      w->object_id(i, j, k) = 1, w->phi(i, j, k) = KTE * std::log(w->rho(i, j, k) / (NE0 * QE)) + (i == 0 ? 0.5 : 0.0);
  });
  return w;
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

}  // namespace

namespace {

using Slots = std::vector<std::pair<int, double>>;

// On in release builds too: a full row would otherwise write into the next row.
TEST(SparseMatrixDeathTest, EighthDistinctColumnStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SparseMatrix A(8);
  for (int c = 0; c < 7; ++c) A(3, c) = 1.0;
  EXPECT_DEATH(A(3, 7) = 1.0, "v!=nvals");
}

// Objects win over walls, any id >= 1 is an object, negative ids are free;
// every row but an object's annihilates a constant potential.
TEST(PotentialAssembly, RowsByNodeClass) {
  auto w = makeWorld(4, 5, 6, {0.5, 0.25, 2.0});
  w->object_id(2, 0, 0) = 1, w->object_id(1, 2, 3) = 3, w->object_id(2, 2, 2) = -1;
  const auto s = potentialSolver(*w, potential(1, 10, 1e-3));  // Newton's method reads the matrix
  const auto u = [](int i, int j, int k) { return static_cast<std::size_t>(i + j * 4 + k * 20); };
  EXPECT_EQ(s->node_type[u(2, 0, 0)], NODE_FIXED);
  EXPECT_EQ(s->node_type[u(1, 2, 3)], NODE_FIXED);
  EXPECT_EQ(s->node_type[u(0, 0, 0)], NODE_WALL);
  EXPECT_EQ(s->node_type[u(2, 2, 2)], NODE_INTERIOR);
  EXPECT_EQ(slots(s->A.rows[u(2, 0, 0)]), (Slots{{static_cast<int>(u(2, 0, 0)), 1.0}}));
  const DenseVector r = s->A * DenseVector(static_cast<std::size_t>(s->A.nu), 1.0);
  for (int n = 0; n < s->A.nu; ++n) EXPECT_TRUE(s->node_type[n] == NODE_FIXED || std::abs(r[n]) < 1e-12) << n;
  // No interior node along x: refused.
  EXPECT_THROW(PotentialSolver(*makeWorld(2, 4, 4), potential(0, 10, 1e-3)), std::invalid_argument);
  EXPECT_THROW(MagnetostaticSolver(*makeWorld(2, 5, 5), magnetostatic(10, 1e-6)), std::invalid_argument);
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

}  // namespace
