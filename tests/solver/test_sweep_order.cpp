// The tuned relaxation sweeps (wavefronts of lines) on one thread against plain
// row-by-row versions: the same values bit for bit, on meshes whose line counts
// exercise every wavefront width, and on matrices where some lines must not
// join a wavefront.
#include <gtest/gtest.h>

#include <omp.h>

#include <random>
#include <vector>

#include "mesh/constants.h"
#include "solverTestSupport.h"
#include "solver/gsWavefront.h"
#include "solver/relaxationSweeps.h"

namespace {

// One sweep over (i, j, k) in storage order, the first matching rule per node.
void referenceSweep(World& w) {
  const double idx2 = 1.0 / (w.dh.x * w.dh.x), idy2 = 1.0 / (w.dh.y * w.dh.y), idz2 = 1.0 / (w.dh.z * w.dh.z);
  Field& phi = w.phi;
  for (int i = 0; i < w.ni; ++i)
    for (int j = 0; j < w.nj; ++j)
      for (int k = 0; k < w.nk; ++k) {
        if ((i == w.ni - 1 && j == w.nj - 1 && k == w.nk - 1) || (i == 0 && j == 0 && k == 0)) {
          phi(i, j, k) = 0.0;
        } else if (w.object_id(i, j, k) > 0) {
        } else if (i == 0) {
          phi(i, j, k) = phi(1, j, k);
        } else if (i == w.ni - 1) {
          phi(i, j, k) = phi(w.ni - 2, j, k);
        } else if (j == 0) {
          phi(i, j, k) = phi(i, 1, k);
        } else if (j == w.nj - 1) {
          phi(i, j, k) = phi(i, w.nj - 2, k);
        } else if (k == 0) {
          phi(i, j, k) = phi(i, j, 1);
        } else if (k == w.nk - 1) {
          phi(i, j, k) = phi(i, j, w.nk - 2);
        } else {
          const double p = (((phi(i - 1, j, k) + phi(i + 1, j, k)) * idx2 + w.rho(i, j, k) / EPS_0) +
                            (phi(i, j - 1, k) + phi(i, j + 1, k)) * idy2 + (phi(i, j, k - 1) + phi(i, j, k + 1)) * idz2) /
                           (2 * idx2 + 2 * idy2 + 2 * idz2);
          phi(i, j, k) = phi(i, j, k) + 1.8 * (p - phi(i, j, k));
        }
      }
}

TEST(SORSweepOrder, OneThreadMatchesTheNodeByNodeRulesBitForBit) {
  struct Mesh {
    int ni, nj, nk;
  } meshes[] = {{3, 3, 3}, {4, 5, 3}, {5, 7, 6}, {6, 11, 9}, {9, 14, 5}, {12, 12, 12}, {4, 3, 2}};
  const int old_threads = omp_get_max_threads();
  omp_set_num_threads(1);
  for (const Mesh& m : meshes) {
    auto a = makeWorld(m.ni, m.nj, m.nk, {0.01, 0.02, 0.015});
    auto b = makeWorld(m.ni, m.nj, m.nk, {0.01, 0.02, 0.015});
    std::mt19937 gen(static_cast<uint32_t>(m.ni * 10000 + m.nj * 100 + m.nk));
    std::uniform_real_distribution<double> volts(-50.0, 50.0), charge(-1e-6, 1e-6), coin(0.0, 1.0);
    for (std::size_t n = 0; n < a->phi.size(); ++n) {
      a->phi.data[n] = b->phi.data[n] = volts(gen);
      a->rho.data[n] = b->rho.data[n] = charge(gen);
      a->object_id.data[n] = b->object_id.data[n] = coin(gen) < 0.1 ? 1 : 0;
    }
    for (int sweep = 0; sweep < 3; ++sweep) {
      sweepSORParallel(*a);
      referenceSweep(*b);
    }
    for (std::size_t n = 0; n < a->phi.size(); ++n)
      ASSERT_EQ(a->phi.data[n], b->phi.data[n]) << m.ni << "x" << m.nj << "x" << m.nk << " node " << n;
  }
  omp_set_num_threads(old_threads);
}

// A seven-point matrix on ni x nj x nk unknowns numbered i fastest, with random
// coefficients (diagonally dominant); rows listed in extra also get a column
// that breaks the line structure.
SparseMatrix stencilMatrix(int ni, int nj, int nk, std::mt19937& gen, const std::vector<int32_t>& extra) {
  std::uniform_real_distribution<double> off(-1.0, -0.1);
  const int32_t nu = ni * nj * nk;
  SparseMatrix A(nu);
  for (int k = 0; k < nk; ++k)
    for (int j = 0; j < nj; ++j)
      for (int i = 0; i < ni; ++i) {
        const int32_t u = i + j * ni + k * ni * nj;
        A(u, u) = 7.0;
        if (i > 0) A(u, u - 1) = off(gen);
        if (i < ni - 1) A(u, u + 1) = off(gen);
        if (j > 0) A(u, u - ni) = off(gen);
        if (j < nj - 1) A(u, u + ni) = off(gen);
        if (k > 0) A(u, u - ni * nj) = off(gen);
      }
  for (int32_t u : extra)
    if (u < nu) A(u, (u + ni + 1) % nu) = off(gen);  // one line and one row away
  return A;
}

TEST(GSSweepOrder, WavefrontSweepOnOneThreadMatchesTheRowByRowSweep) {
  struct Case {
    int ni, nj, nk;
    std::vector<int32_t> extra;
  } cases[] = {{5, 4, 3, {}}, {7, 9, 4, {}}, {6, 6, 6, {13, 100}}, {3, 11, 2, {0, 40}}, {1, 5, 5, {}}, {4, 1, 1, {}}};
  const int old_threads = omp_get_max_threads();
  omp_set_num_threads(1);
  for (const Case& c : cases) {
    std::mt19937 gen(static_cast<uint32_t>(c.ni * 131 + c.nj * 17 + c.nk));
    const SparseMatrix A = stencilMatrix(c.ni, c.nj, c.nk, gen, c.extra);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    DenseVector b(static_cast<std::size_t>(A.nu)), x(b.size());
    for (std::size_t u = 0; u < b.size(); ++u) {
      b[u] = value(gen);
      x[u] = value(gen);
    }
    DenseVector y = x;
    const GSWavefrontPlan plan = gsWavefrontPlan(A, c.ni);
    for (int sweep = 0; sweep < 3; ++sweep) {
      sweepGSWavefront(A, x, b, plan);
      sweepGS(A, y, b);
    }
    for (std::size_t u = 0; u < x.size(); ++u) ASSERT_EQ(x[u], y[u]) << c.ni << "x" << c.nj << "x" << c.nk << " row " << u;
    if (!c.extra.empty()) {  // the broken lines are left out, the others still join
      int safe = 0;
      for (uint8_t f : plan.line_safe) safe += f;
      EXPECT_LT(safe, static_cast<int>(plan.line_safe.size()));
      EXPECT_GT(safe, 0);
    }
  }
  omp_set_num_threads(old_threads);
}

}  // namespace
