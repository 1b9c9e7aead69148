// The wavefront and block sweeps on one thread equal the plain Gauss-Seidel
// order bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "solver/MagnetostaticSolver.h"
#include "solver/gaussSeidel.h"
#include "solver/gsWavefront.h"
#include "solver/relaxationSweeps.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

// The plain Poisson sweep, node by node in storage order.
void plainPoissonSweep(World& w, const std::vector<double>& source, double factor) {
  const Grid& g = w.grid;
  const double idx2 = 1 / (g.dh.x * g.dh.x), idy2 = 1 / (g.dh.y * g.dh.y), idz2 = 1 / (g.dh.z * g.dh.z);
  const double D = 2 * idx2 + 2 * idy2 + 2 * idz2;
  Field& phi = w.phi;
  for (int i = 0; i < g.ni; ++i)
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        double& v = phi(i, j, k);
        if ((i == g.ni - 1 && j == g.nj - 1 && k == g.nk - 1) || (i == 0 && j == 0 && k == 0)) v = 0.0;
        else if (w.object_id(i, j, k) > 0) continue;
        else if (i == 0 || i == g.ni - 1) v = phi(i ? g.ni - 2 : 1, j, k);
        else if (j == 0 || j == g.nj - 1) v = phi(i, j ? g.nj - 2 : 1, k);
        else if (k == 0 || k == g.nk - 1) v = phi(i, j, k ? g.nk - 2 : 1);
        else
          v += factor * ((((phi(i - 1, j, k) + phi(i + 1, j, k)) * idx2 + source[phi.index(i, j, k)]) +
                          (phi(i, j - 1, k) + phi(i, j + 1, k)) * idy2 + (phi(i, j, k - 1) + phi(i, j, k + 1)) * idz2) / D - v);
      }
}

bool bitIdentical(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// Wavefront sweeps on one thread against the plain row order: bit for bit the same?
bool wavefrontEqualsPlain(const SparseMatrix& A, int line, DenseVector x, const DenseVector& b, int sweeps) {
  DenseVector y = x;
  const GSWavefrontPlan plan = gsWavefrontPlan(A, line);
  BorderCopies borders;
  for (int sweep = 0; sweep < sweeps; ++sweep) sweepGSWavefront(A, x, b, plan, 1, borders), sweepGS(A, y, b);
  return bitIdentical(x, y);
}

struct SweepCase {
  int ni, nj, nk;
  double object_share;  // fraction of nodes held by objects, walls and corners included
  unsigned seed;
};

const SweepCase CASES[] = {
    {3, 3, 3, 0.0, 1},    {5, 6, 7, 0.1, 2},   {9, 4, 12, 0.3, 3},  {4, 11, 3, 0.2, 4},
    {13, 13, 5, 0.05, 5}, {6, 17, 9, 0.5, 6},  {7, 5, 31, 0.15, 7},
};

// Random potentials, charges and objects; the pinned corners are objects in every other case.
std::unique_ptr<World> randomWorld(const SweepCase& c) {
  auto w = makeWorld(c.ni, c.nj, c.nk, {0.01, 0.02, 0.015});
  std::mt19937 gen(c.seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0), share(0.0, 1.0);
  for (std::size_t n = 0; n < w->phi.size(); ++n) {
    w->phi.data[n] = 100 * u(gen);
    w->rho.data[n] = 1e-9 * u(gen);
    w->object_id.data[n] = share(gen) < c.object_share ? 1 : 0;
  }
  if (c.seed % 2 == 0) w->object_id.data.front() = w->object_id.data.back() = 1;
  return w;
}

TEST(Sweeps, WavefrontSweepsEqualThePlainOrderOnOneThread) {
  for (const SweepCase& c : CASES) {
    SCOPED_TRACE(testing::Message() << c.ni << "x" << c.nj << "x" << c.nk << " objects " << c.object_share);
    auto fast = randomWorld(c), plain = randomWorld(c);
    const std::vector<double> source = poissonSource(*fast);
    BorderCopies borders;
    for (int sweep = 0; sweep < 3; ++sweep) {
      sweepSORParallel(*fast, source, 1.8, false, 1, borders);
      plainPoissonSweep(*plain, source, 1.8);
    }
    EXPECT_TRUE(bitIdentical(fast->phi.data, plain->phi.data));

    // The potential and magnetostatic matrices against row-by-row relaxation.
    PotentialSolver ps(*plain, potential(0, 1, 1.0));
    ps.assembleMatrix();
    for (const SparseMatrix& A : {ps.A, assembleMagnetostaticMatrix(MagnetostaticSolver(*plain, magnetostatic(1, 1.0)))}) {
      std::mt19937 gen(c.seed);
      std::uniform_real_distribution<double> u(-1.0, 1.0);
      DenseVector x(static_cast<std::size_t>(A.nu)), b(x.size());
      for (std::size_t n = 0; n < x.size(); ++n) x[n] = u(gen), b[n] = u(gen);
      EXPECT_TRUE(wavefrontEqualsPlain(A, c.ni, x, b, 3));
    }
  }
}

// On a team the blocks read stale borders: still the same result on every run.
TEST(Sweeps, ParallelSweepsAreDeterministicForAGivenTeam) {
  const SweepCase c{11, 9, 10, 0.1, 8};
  for (int team : {2, 3}) {
    std::vector<std::vector<double>> phis, xs;
    for (int run = 0; run < 3; ++run) {
      auto w = randomWorld(c);
      const std::vector<double> source = poissonSource(*w);
      BorderCopies borders;
      for (int sweep = 0; sweep < 5; ++sweep) sweepSORParallel(*w, source, 1.8, false, team, borders);
      phis.push_back(w->phi.data);
      const SparseMatrix m = assembleMagnetostaticMatrix(MagnetostaticSolver(*w, ::plasmabox::magnetostatic(1, 1.0)));
      DenseVector x(static_cast<std::size_t>(m.nu), 1.0), b(x.size(), 0.5);
      const GSWavefrontPlan plan = gsWavefrontPlan(m, c.ni);
      for (int sweep = 0; sweep < 5; ++sweep) sweepGSWavefront(m, x, b, plan, team, borders);
      xs.push_back(x);
    }
    for (int run = 1; run < 3; ++run) EXPECT_TRUE(bitIdentical(phis[0], phis[run]) && bitIdentical(xs[0], xs[run]));
  }
}

// The stencil solve gives the stored matrix's iterates and residual lines.
TEST(Sweeps, MagnetostaticStencilSolveEqualsTheStoredMatrixSolve) {
  for (int team : {1, 2}) {
    auto w = makeWorld(9, 8, 10, {0.001, 0.002, 0.0015});
    for (int i = 3; i < 6; ++i)
      for (int j = 2; j < 5; ++j) w->M(i, j, 4) = {1e5, -2e5, 3e5};
    MagnetostaticSettings settings = magnetostatic(60, 1e-30);
    settings.threads = team;
    MagnetostaticSolver s(*w, settings);
    DenseVector b = s.divergence(w->M), x(b.size(), 0.0);
    b[static_cast<std::size_t>(s.pin_node_1)] = 0.0;
    const Console stored = captureConsole([&] { return solveGS(assembleMagnetostaticMatrix(s), x, b, settings.relaxation(), 9); });
    const Console stencil = captureConsole([&] { return s.solveMagnetostatics(); });
    EXPECT_TRUE(bitIdentical(s.x, x)) << team;
    EXPECT_EQ(stencil.out + stencil.err, stored.out + stored.err) << team;
  }
}

// A row reading one position into the next line leaves that line to the plain order.
TEST(Sweeps, LinesTheWavefrontCannotTakeFallBackToThePlainOrder) {
  const int line = 6, lines = 9, nu = line * lines;
  SparseMatrix A(nu);
  for (int u = 0; u < nu; ++u) {
    A(u, u) = 4.0;
    if (u % line) A(u, u - 1) = -1.0;
    if (u >= line) A(u, u - line) = -1.0;
    if (u + line < nu) A(u, u + line) = -1.0;
  }
  A(2 * line + 3, 3 * line + 4) = -0.5;  // line 2 reads line 3 one position ahead
  const GSWavefrontPlan plan = gsWavefrontPlan(A, line);
  EXPECT_TRUE(plan.line_safe[2] == 0 && plan.line_safe[3] == 1);
  DenseVector b(nu);
  for (int u = 0; u < nu; ++u) b[static_cast<std::size_t>(u)] = std::sin(0.7 * u);
  EXPECT_TRUE(wavefrontEqualsPlain(A, line, DenseVector(nu, 0.0), b, 4));
}

// The divergence of a linear magnetisation is exact at every node, walls included.
TEST(Sweeps, DivergenceOfALinearMagnetisationIsExactEverywhere) {
  auto w = makeWorld(5, 6, 7, {0.5, 0.25, 2.0});
  eachNode(*w, [&](int i, int j, int k) { w->M(i, j, k) = {3.0 * (0.5 * i) + 7.0, -2.0 * (0.25 * j), 0.5 * (2.0 * k) - 1.0}; });
  MagnetostaticSolver s(*w, magnetostatic(1, 1.0));
  for (double d : s.divergence(w->M)) ASSERT_EQ(d, 3.0 - 2.0 + 0.5);
}

}  // namespace
