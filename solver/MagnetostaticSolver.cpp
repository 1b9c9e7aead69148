#include "solver/MagnetostaticSolver.h"

#include <cmath>
#include <cstddef>

#include "mesh/constants.h"
#include "mesh/fieldOperators.h"
#include "solver/PotentialSolver.h"
#include "solver/gaussSeidel.h"
#include "solver/solverSupport.h"

namespace plasmabox {

namespace {

// Index of the node whose cell holds coordinate offset / spacing (truncated
// toward zero), clamped into 0 .. n-1 so that a point outside the mesh (or a
// NaN) still names a node of the mesh.
int32_t clampedNodeIndex(double offset, double spacing, int32_t n) {
  const double l = offset / spacing;
  if (!(l >= 0.0)) return 0;
  if (l >= static_cast<double>(n - 1)) return n - 1;
  return static_cast<int32_t>(l);
}

int32_t pinnedUnknown(const Grid& g, const Vec3& p) {
  const int32_t i = clampedNodeIndex(p.x - g.x0.x, g.dh.x, g.ni);
  const int32_t j = clampedNodeIndex(p.y - g.x0.y, g.dh.y, g.nj);
  const int32_t k = clampedNodeIndex(p.z - g.x0.z, g.dh.z, g.nk);
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

}  // namespace

MagnetostaticSolver::MagnetostaticSolver(World& world_, const MagnetostaticSettings& settings_)
    : world(world_),
      A(checkedUnknownCount(world_.grid, 3, "MagnetostaticSolver")),
      x(static_cast<std::size_t>(A.nu), 0.0),
      pin_node_1(pinnedUnknown(world_.grid, world_.pin_point_1)),
      pin_node_2(pinnedUnknown(world_.grid, world_.pin_point_2)),
      node_type(static_cast<std::size_t>(A.nu), NODE_INTERIOR),
      settings(settings_) {
  const Grid& g = world.grid;
  for (int32_t k = 0; k < g.nk; ++k)
    for (int32_t j = 0; j < g.nj; ++j)
      for (int32_t i = 0; i < g.ni; ++i) {
        const auto u = static_cast<int32_t>(unknownIndex(i, j, k, g.ni, g.nj));
        int32_t& type = node_type[static_cast<std::size_t>(u)];
        A.rows[static_cast<std::size_t>(u)].clear();
        if (u == pin_node_1 || u == pin_node_2) {
          type = NODE_FIXED;
          A(u, u) = 1.0;
          continue;
        }
        type = assembleLaplaceRow(A, g, i, j, k);
      }
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

bool MagnetostaticSolver::solveMagnetostatics() {
  DenseVector b = divergence(world.M);
  b[static_cast<std::size_t>(pin_node_1)] = 0.0;
  b[static_cast<std::size_t>(pin_node_2)] = 0.0;
  const bool converged = solveGS(A, x, b, settings.relaxation(), world.grid.ni);

  // phi_m receives x unchanged, so H from the field equals H from x.
  vectorToField(x, world.phi_m);
  world.H = minusGradient(world.phi_m, world.grid);

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

}  // namespace plasmabox
