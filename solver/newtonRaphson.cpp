// Method 1 of the potential solver: the nonlinear Poisson-Boltzmann equation
//   A phi = -(rho - e n0 exp((phi - phi0)/kTe)) / eps0   (interior rows)
// by Newton-Raphson, each linear step by Jacobi-preconditioned conjugate
// gradients with Gauss-Seidel as the fallback, or by multigrid. With
// multigrid it runs on a slab of a distributed mesh too: each process keeps
// the rows of its own planes, its ghost planes hold the neighbours' values of
// every vector a row reads, and the norms that decide when to stop are taken
// over the whole mesh, so every process makes the same steps.

#include <cmath>
#include <cstddef>
#include <iostream>
#include <stdexcept>

#include "mesh/constants.h"
#include "mesh/ghostPlanes.h"
#include "mesh/processReduction.h"
#include "solver/PotentialSolver.h"
#include "solver/gaussSeidel.h"
#include "solver/multigridSolve.h"
#include "solver/solverSupport.h"
#include "solver/unknownGhostPlanes.h"

namespace plasmabox {

namespace {

// Calls fn(u) for every unknown of the planes this process owns, in
// increasing u (on one process every unknown).
template <class Fn>
void forOwnedUnknowns(const Grid& g, Fn fn) {
  for (int k = 0; k < g.nk; ++k)
    for (int j = 0; j < g.nj; ++j) {
      const std::size_t line = unknownIndex(0, j, k, g.ni, g.nj);
      for (int i = g.ownedBegin(); i < g.ownedEnd(); ++i) fn(line + static_cast<std::size_t>(i));
    }
}

// norm(a) of the whole mesh's vector: the squares of the owned unknowns
// summed over every process (ghost planes are their owners' to count). On one
// process norm(a) itself.
double meshNorm(const DenseVector& a, const Grid& g, const Decomposition& part) {
  if (!part.distributed()) return norm(a);
  double sum = 0.0;
  forOwnedUnknowns(g, [&](std::size_t u) { sum += a[u] * a[u]; });
  return std::sqrt(sumOverProcesses(part, sum) / g.wholeNodeCount());
}

}  // namespace

bool PotentialSolver::solvePCG(const SparseMatrix& A_, DenseVector& x, const DenseVector& b) {
  const std::size_t n = x.size();
  const SparseMatrix M = diagPreconditioner(A_);
  const uint32_t limit = iterationLimit(settings.max_it);

  // g is the gradient A x - b (the residual with the opposite sign), s the
  // preconditioned gradient, d the search direction, z = A d. The updates
  // below are written in place but do per entry exactly what the vector
  // expressions x + alpha*d, g + alpha*z, beta*d - s would.
  DenseVector g, s, z;
  multiplyInto(A_, x, g);
  for (std::size_t i = 0; i < n; ++i) g[i] = g[i] - b[i];
  multiplyInto(M, g, s);
  DenseVector d(n);
  for (std::size_t i = 0; i < n; ++i) d[i] = -s[i];

  double R = 0.0;
  for (uint32_t it = 0;; ++it) {
    if (it >= limit) {
      std::cerr << "PCG failed to converge, norm(g) = " << R << std::endl;
      return false;
    }
    multiplyInto(A_, d, z);
    const double gs = dot(g, s);
    const double dz = dot(d, z);
    if (gs == 0.0 || dz == 0.0) {
      // Breakdown: alpha or beta would be 0/0 or infinite and turn x into
      // NaN, which no later iteration or fallback could repair. A gradient of
      // exactly zero means x already solves the system; otherwise stop here
      // and leave the finite iterate to the caller.
      bool exact = true;
      for (std::size_t i = 0; i < n; ++i) exact = exact && g[i] == 0.0;
      if (exact) return true;
      std::cerr << "PCG failed to converge, norm(g) = " << R << std::endl;
      return false;
    }
    const double alpha = gs / dz;
    ++pcg_iterations;
    for (std::size_t i = 0; i < n; ++i) x[i] = x[i] + d[i] * alpha;
    for (std::size_t i = 0; i < n; ++i) g[i] = g[i] + z[i] * alpha;
    multiplyInto(M, g, s);
    const double beta = dot(g, s) / gs;
    for (std::size_t i = 0; i < n; ++i) d[i] = d[i] * beta - s[i];
    R = norm(g);
    if (settings.tol > R) return true;
  }
}

void PotentialSolver::solveNewtonStepByMultigrid(const SparseMatrix& J, const DenseVector& P, const DenseVector& F,
                                                 DenseVector& y, UnknownGhostPlanes& ghosts) {
  const Grid& grid = world.grid;
  ReducedSystem s = laplaceSystem(grid, node_type, F, &P, y, settings.threads);
  StructMultigrid mg(s.op);  // the Jacobian changes with every step
  DenseVector r;
  const MultigridRun run = solveToTolerance(
      mg, s, settings.tol, std::sqrt(grid.wholeNodeCount()), settings.max_it,
      [&] {
        fillLaplace(s, grid, node_type, F, y, settings.threads);
        ghosts.exchange(y);  // the owned rows next to a ghost plane read it
        multiplyInto(J, y, r);
        for (std::size_t u = 0; u < r.size(); ++u) r[u] = r[u] - F[u];
        return meshNorm(r, grid, world.part);
      },
      false);
  if (!run.converged) std::cerr << "PCG failed to converge, norm(g) = " << run.R << std::endl;
  pcg_iterations += run.iterations;
}

bool PotentialSolver::solveNRPCG() {
  const auto unknowns = static_cast<std::size_t>(nu);
  if (node_type.size() != unknowns || A.nu != nu)
    throw std::logic_error("PotentialSolver::solveNRPCG: the matrix has not been assembled");
  checkSharable(settings, world.part);  // the settings may have changed since construction
  const Grid& grid = world.grid;
  const Decomposition& part = world.part;
  UnknownGhostPlanes ghosts(part, grid);

  // Every vector below holds the neighbours' values in its ghost planes
  // whenever a product with A or J reads them; the ghost planes' own rows are
  // identities whose results nothing reads.
  exchangeGhostPlanes(part, world.phi);
  DenseVector x = fieldToVector(world.phi);
  DenseVector b = fieldToVector(world.rho);
  // Right-hand side: the object's potential on object rows, zero gradient on
  // wall rows, -rho/eps0 on interior rows.
  for (std::size_t u = 0; u < unknowns; ++u) {
    if (node_type[u] == NODE_FIXED)
      b[u] = x[u];
    else if (node_type[u] == NODE_WALL)
      b[u] = 0.0;
    else
      b[u] = b[u] / (-EPS_0);
  }

  // y is the Newton update; each linear solve starts from the previous one.
  // P is the derivative of the electron term, 0 outside the interior.
  DenseVector P(unknowns, 0.0), y(unknowns, 0.0), F;
  SparseMatrix J;
  const double ne0 = settings.ne0, phi0 = settings.phi0, kTe = settings.kTe;
  const double electron_charge = ne0 * (-QE);                // C/m^3 at phi = phi0
  const double electron_slope = (ne0 * QE) / (kTe * EPS_0);  // V/m^2 per V at phi = phi0

  bool converged = false;
  double R = 0.0;
  newton_steps = 0;
  pcg_iterations = 0;
  for (int it = 0;; ++it) {
    if (it >= settings.newton_max_steps) {
      std::cout << "NR+PCG failed to converge, norm = " << R << std::endl;
      break;
    }
    ++newton_steps;
    multiplyInto(A, x, F);
    for (std::size_t u = 0; u < unknowns; ++u) F[u] = F[u] - b[u];
    forOwnedUnknowns(grid, [&](std::size_t u) {
      if (node_type[u] != NODE_INTERIOR) return;
      const double boltzmann = std::exp((x[u] - phi0) / kTe);
      F[u] = boltzmann * electron_charge / EPS_0 + F[u];
      P[u] = boltzmann * electron_slope;
    });
    ghosts.exchange(F);  // the step's system reads held values there
    subtractDiagonalInto(A, P, J);  // Jacobian of F: J = A - diag(P)

    if (settings.multigrid) {
      solveNewtonStepByMultigrid(J, P, F, y, ghosts);  // y's ghost planes come back exchanged
    } else if (!solvePCG(J, y, F)) {
      solveGS(J, y, F, settings.relaxation(), world.grid.ni);
    }
    for (std::size_t u = 0; u < unknowns; ++u)
      if (node_type[u] == NODE_FIXED) y[u] = 0.0;  // object potentials never move
    for (std::size_t u = 0; u < unknowns; ++u) x[u] = x[u] - y[u];
    R = meshNorm(y, grid, part);
    if (settings.newton_tol > R) {  // V, root mean square of the update
      converged = true;
      break;
    }
  }
  vectorToField(x, world.phi);
  last_iterations = newton_steps;
  last_residual = R;
  return converged;
}

}  // namespace plasmabox
