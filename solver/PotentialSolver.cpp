#include "solver/PotentialSolver.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "mesh/constants.h"
#include "mesh/ghostPlanes.h"
#include "solver/solverSupport.h"

namespace plasmabox {

PotentialSolver::PotentialSolver(World& world_, const PotentialSettings& settings_)
    : world(world_), settings(settings_), nu(checkedUnknownCount(world_.grid, 3, "PotentialSolver")) {
  checkSharable(settings, world.part);
}

void checkSharable(const PotentialSettings& settings, const Decomposition& part) {
  // Newton's iteration with multigrid steps runs on a slab; its conjugate
  // gradients with the Gauss-Seidel fallback work on the assembled matrix of
  // the whole mesh and are not shared out.
  if (settings.method == 1 && !settings.multigrid && part.distributed())
    throw std::runtime_error(
        "potential_method=1 with potential_solver=sor runs on one process only: use potential_solver=multigrid "
        "(or potential_method=0, 2 or 3) with mpirun");
}

PotentialSolver::~PotentialSolver() = default;

void PotentialSolver::buildMatrix() {
  if (settings.method == 1 || (settings.method == 3 && settings.multigrid)) assembleMatrix();
  solveQN();
}

void PotentialSolver::assembleMatrix() {
  const Grid& g = world.grid;
  // Object nodes of the neighbours' border planes hold their potential in
  // this slab's equations: their class must be known here.
  exchangeGhostPlanes(world.part, world.object_id);
  A = SparseMatrix(nu);
  node_type.assign(static_cast<std::size_t>(nu), NODE_INTERIOR);
  for (int32_t k = 0; k < g.nk; ++k)
    for (int32_t j = 0; j < g.nj; ++j)
      for (int32_t i = 0; i < g.ni; ++i) {
        const auto u = static_cast<int32_t>(unknownIndex(i, j, k, g.ni, g.nj));
        int32_t& type = node_type[static_cast<std::size_t>(u)];
        const bool side = j == 0 || k == 0 || j == g.nj - 1 || k == g.nk - 1;
        const bool wall = g.i0 + i == 0 || g.i0 + i == g.gni - 1 || side;
        const bool fixed = world.object_id(i, j, k) >= 1 || (settings.grounded_walls && wall);
        if (i < g.ownedBegin() || i >= g.ownedEnd()) {
          // A ghost plane's equations are its owner's: here its row is the
          // identity, and its class says how the owned rows next to it see it.
          A(u, u) = 1.0;
          type = fixed ? NODE_FIXED : side ? NODE_WALL : NODE_INTERIOR;
          continue;
        }
        if (fixed) {
          A(u, u) = 1.0;  // Dirichlet: keeps the object's voltage, or the grounded wall's 0 V
          type = NODE_FIXED;
          continue;
        }
        type = assembleLaplaceRow(A, g, i, j, k);
      }
}

bool PotentialSolver::solveQN() {
  const Grid& g = world.grid;
  const double n0e = settings.ne0 * QE;  // C/m^3, charge density of the reference electron population
  for (int i = 0; i < g.ni; ++i)
    for (int j = 0; j < g.nj; ++j)
      for (int k = 0; k < g.nk; ++k) {
        if (world.object_id(i, j, k) > 0) continue;
        double ratio = world.rho(i, j, k) / n0e;
        // The floor keeps the logarithm finite where there is no ion charge
        // (a NaN ratio passes through, as it is not below the floor).
        if (ratio < 1.0e-6) ratio = 1.0e-6;
        const bool wall =
            g.i0 + i == 0 || j == 0 || k == 0 || g.i0 + i == g.gni - 1 || j == g.nj - 1 || k == g.nk - 1;
        world.phi(i, j, k) = settings.grounded_walls && wall ? 0.0 : settings.phi0 + settings.kTe * std::log(ratio);
      }
  return true;
}

bool PotentialSolver::solve() {
  switch (settings.method) {
    case 0: return settings.multigrid ? solveMultigrid() : solveSORParallel();
    case 1: return solveNRPCG();
    case 2: return solveQN();
    case 3: return settings.multigrid ? solveNRPCG() : solveSORBoltzmann();
    default: return false;
  }
}

}  // namespace plasmabox
