#include "solver/MagnetostaticSolver.h"

#include <cmath>
#include <cstddef>

#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "mesh/ghostPlanes.h"
#include "mesh/processReduction.h"
#include "solver/gaussSeidel.h"
#include "solver/gsWavefront.h"
#include "solver/laplaceRow.h"
#include "solver/multigridSolve.h"
#include "solver/solverSupport.h"
#include "solver/unknownGhostPlanes.h"

namespace plasmabox {

namespace {

// Index of the node whose cell holds coordinate offset / spacing (truncated
// toward zero), clamped into 1 .. n-2, the nodes the equations read (a NaN
// offset gives 1).
int32_t pinnedIndex(double offset, double spacing, int32_t n) {
  const double l = offset / spacing;
  if (!(l >= 1.0)) return 1;
  if (l >= static_cast<double>(n - 2)) return n - 2;
  return static_cast<int32_t>(l);
}

// The pinned node is chosen on the whole mesh; -1 when this slab does not store it.
int32_t pinnedUnknown(const Grid& g, const Vec3& p) {
  const int32_t i = pinnedIndex(p.x - g.x0.x, g.dh.x, g.gni) - g.i0;
  const int32_t j = pinnedIndex(p.y - g.x0.y, g.dh.y, g.nj);
  const int32_t k = pinnedIndex(p.z - g.x0.z, g.dh.z, g.nk);
  if (i < 0 || i >= g.ni) return -1;
  return static_cast<int32_t>(unknownIndex(i, j, k, g.ni, g.nj));
}

// Second-order difference of component c along one axis at index q of n
// (not yet divided by twice the spacing); `at(q)` reads the value at index q.
template <class At>
double axisDifference(int q, int n, At at) {
  if (q == 0) return -3.0 * at(0) + 4.0 * at(1) - at(2);
  if (q == n - 1) return 3.0 * at(n - 1) - 4.0 * at(n - 2) + at(n - 3);
  return at(q + 1) - at(q - 1);
}

// The rows of the solver, made from the stencil as the sweeps ask for them.
struct StencilRows {
  const MagnetostaticSolver* s;
  MatrixRow row(int32_t u) const { return s->row(u); }
};

}  // namespace

MagnetostaticSolver::MagnetostaticSolver(World& world_, const MagnetostaticSettings& settings_)
    : world(world_), settings(settings_) {
  const Grid& g = world.grid;
  const int32_t nu = checkedUnknownCount(g, 3, "MagnetostaticSolver");
  x.assign(static_cast<std::size_t>(nu), 0.0);
  pin_node_1 = pinnedUnknown(g, world.pin_point_1);
  pin_node_2 = pinnedUnknown(g, world.pin_point_2);
  row_kind.assign(static_cast<std::size_t>(nu), INTERIOR);
  for (int32_t k = 0; k < g.nk; ++k)
    for (int32_t j = 0; j < g.nj; ++j)
      for (int32_t i = 0; i < g.ni; ++i) {
        const bool ghost = i < g.ownedBegin() || i >= g.ownedEnd();
        row_kind[unknownIndex(i, j, k, g.ni, g.nj)] = ghost ? GHOST : equationKind(i, j, k);
      }
}

MagnetostaticSolver::RowKind MagnetostaticSolver::equationKind(int32_t i, int32_t j, int32_t k) const {
  // The first matching rule, as the assembly of a wall row takes it; the
  // walls along i are those of the whole box.
  const Grid& g = world.grid;
  const auto u = static_cast<int32_t>(unknownIndex(i, j, k, g.ni, g.nj));
  if (u == pin_node_1 || u == pin_node_2) return PINNED;
  if (g.i0 + i == 0) return WALL_I_LOW;
  if (g.i0 + i == g.gni - 1) return WALL_I_HIGH;
  if (j == 0) return WALL_J_LOW;
  if (j == g.nj - 1) return WALL_J_HIGH;
  if (k == 0) return WALL_K_LOW;
  if (k == g.nk - 1) return WALL_K_HIGH;
  return INTERIOR;
}

MatrixRow MagnetostaticSolver::row(int32_t u) const {
  // The coefficients as assembleLaplaceRow computes them, in its slot order.
  const Grid& g = world.grid;
  const int32_t ni = g.ni, nij = g.ni * g.nj;
  const double idx = 1.0 / g.dh.x, idy = 1.0 / g.dh.y, idz = 1.0 / g.dh.z;
  MatrixRow r;
  const auto set = [&r](int v, int32_t c, double a) {
    r.col[v] = c;
    r.a[v] = a;
  };
  switch (row_kind[static_cast<std::size_t>(u)]) {
    case PINNED:
    case GHOST: set(0, u, 1.0); break;
    case WALL_I_LOW: set(0, u, idx), set(1, u + 1, -idx); break;
    case WALL_I_HIGH: set(0, u, idx), set(1, u - 1, -idx); break;
    case WALL_J_LOW: set(0, u, idy), set(1, u + ni, -idy); break;
    case WALL_J_HIGH: set(0, u, idy), set(1, u - ni, -idy); break;
    case WALL_K_LOW: set(0, u, idz), set(1, u + nij, -idz); break;
    case WALL_K_HIGH: set(0, u, idz), set(1, u - nij, -idz); break;
    default: {
      const double idx2 = idx * idx, idy2 = idy * idy, idz2 = idz * idz;
      set(0, u - nij, idz2), set(1, u - ni, idy2), set(2, u - 1, idx2);
      set(3, u, -2.0 * (idx2 + idy2 + idz2));
      set(4, u + 1, idx2), set(5, u + ni, idy2), set(6, u + nij, idz2);
    }
  }
  return r;
}

double MagnetostaticSolver::residual(const DenseVector& b) const {
  const auto nu = static_cast<int64_t>(x.size());
  DenseVector r(x.size());
  const double* xv = x.data();
#pragma omp parallel for schedule(static) num_threads(settings.threads)
  for (int64_t u = 0; u < nu; ++u) {
    const MatrixRow rw = row(static_cast<int32_t>(u));
    double sum = 0.0;  // multRow's sum, in slot order
    for (int v = 0; v < MatrixRow::nvals && rw.col[v] >= 0; ++v) sum += rw.a[v] * xv[rw.col[v]];
    r[static_cast<std::size_t>(u)] = sum - b[static_cast<std::size_t>(u)];
  }
  if (!world.part.distributed()) return norm(r);  // summed in unknown order: the same for any team
  double sum = 0.0;
  for (std::size_t u = 0; u < r.size(); ++u)
    if (row_kind[u] != GHOST) sum += r[u] * r[u];
  const Grid& g = world.grid;
  return std::sqrt(sumOverProcesses(world.part, sum) / g.wholeNodeCount());
}

DenseVector MagnetostaticSolver::divergence(const VectorField& M) const {
  const int ni = M.ni, nj = M.nj, nk = M.nk;
  DenseVector b(M.size(), 0.0);
  const Vec3& dh = world.grid.dh;
  const double two_dx = 2.0 * dh.x, two_dy = 2.0 * dh.y, two_dz = 2.0 * dh.z;
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j)
      for (int k = 0; k < nk; ++k) {
        const double Dx = axisDifference(i, ni, [&](int q) { return M(q, j, k).x; });
        const double Dy = axisDifference(j, nj, [&](int q) { return M(i, q, k).y; });
        const double Dz = axisDifference(k, nk, [&](int q) { return M(i, j, q).z; });
        b[unknownIndex(i, j, k, ni, nj)] = (Dx / two_dx + Dy / two_dy) + Dz / two_dz;
      }
  return b;
}

bool MagnetostaticSolver::solveBySweeps(const DenseVector& b) {
  const StencilRows rows{this};
  const auto nu = static_cast<int32_t>(x.size());
  const GSWavefrontPlan plan = gsWavefrontPlan(rows, nu, world.grid.ni);
  BorderCopies borders;
  // On a slab the ghost rows are identity rows: their right-hand side is set
  // to the value received, so that a sweep keeps it, and the owned nodes next
  // to them read the neighbour's values from before the sweep.
  const bool distributed = world.part.distributed();
  UnknownGhostPlanes ghosts(world.part, world.grid);
  DenseVector b_slab;
  if (distributed) b_slab = b;
  const DenseVector& b_sweep = distributed ? b_slab : b;
  auto receive = [&] {
    ghosts.exchange(x);
    for (std::size_t u = 0; u < b_slab.size(); ++u)
      if (row_kind[u] == GHOST) b_slab[u] = x[u];
  };
  bool ghosts_current = false;
  double R = 0.0;
  for (int32_t it = 0; it < settings.max_it; ++it) {
    if (distributed && !ghosts_current) receive();
    sweepRows(rows, nu, x, b_sweep, plan, settings.threads, borders);
    ghosts_current = false;
    if (it % settings.check_interval == 0) {
      if (distributed) receive();
      ghosts_current = true;
      R = residual(b);
      if (reportResidual(R, settings.tol)) return true;
    }
  }
  if (!ghosts_current) ghosts.exchange(x);
  reportGSFailure(R);
  return false;
}

bool MagnetostaticSolver::solveByMultigrid(const DenseVector& b) {
  if (settings.max_it <= 0) {
    reportGSFailure(0.0);
    return false;
  }
  const Grid& g = world.grid;
  // Ghost nodes by their own equations: a pinned one is held, others couple
  // to this slab's nodes as the library's off-process unknowns.
  std::vector<int32_t> node_type(row_kind.size());
  for (int32_t k = 0; k < g.nk; ++k)
    for (int32_t j = 0; j < g.nj; ++j)
      for (int32_t i = 0; i < g.ni; ++i) {
        const RowKind kind = equationKind(i, j, k);
        node_type[unknownIndex(i, j, k, g.ni, g.nj)] =
            kind == PINNED ? NODE_FIXED : kind == INTERIOR ? NODE_INTERIOR : NODE_WALL;
      }
  ReducedSystem s = laplaceSystem(g, node_type, b, nullptr, x, settings.threads);
  StructMultigrid mg(s.op);
  UnknownGhostPlanes ghosts(world.part, g);
  const MultigridRun run = solveToTolerance(
      mg, s, settings.tol, std::sqrt(g.wholeNodeCount()), settings.max_it,
      [&] {
        fillLaplace(s, g, node_type, b, x, settings.threads);
        ghosts.exchange(x);
        return residual(b);
      },
      true);
  if (!run.converged) reportGSFailure(run.R);
  return run.converged;
}

bool MagnetostaticSolver::solveMagnetostatics() {
  exchangeGhostPlanes(world.part, world.M);  // the divergence on the owned border planes reads them
  DenseVector b = divergence(world.M);
  if (pin_node_1 >= 0) b[static_cast<std::size_t>(pin_node_1)] = 0.0;
  if (pin_node_2 >= 0) b[static_cast<std::size_t>(pin_node_2)] = 0.0;
  const bool converged = settings.multigrid ? solveByMultigrid(b) : solveBySweeps(b);

  // phi_m receives x unchanged, so H from the field equals H from x.
  vectorToField(x, world.phi_m);
  world.H = minusGradient(world.phi_m, world.grid);
  exchangeGhostPlanes(world.part, world.H);  // a ghost plane's one-sided difference replaced by its owner's

  const VectorField& M = world.M;
  for (std::size_t n = 0; n < M.size(); ++n) {
    const Vec3& m = M.data[n];
    const Vec3& h = world.H.data[n];
    // Inside a magnet B is taken from the magnetisation alone.
    if (m.x == 0.0 && m.y == 0.0 && m.z == 0.0)
      world.B.data[n] = MU_0 * (h + m);
    else
      world.B.data[n] = MU_0 * m;
  }
  return converged;
}

SparseMatrix assembleMagnetostaticMatrix(const MagnetostaticSolver& solver) {
  SparseMatrix A(static_cast<int32_t>(solver.x.size()));
  for (int32_t u = 0; u < A.nu; ++u) A.rows[static_cast<std::size_t>(u)] = solver.row(u);
  return A;
}

}  // namespace plasmabox
