#include "solver/PotentialSolver.h"

#include <cmath>
#include <cstddef>

#include "solver/solverSupport.h"

PotentialSolver::PotentialSolver(World& world_, int32_t method_, int32_t max_it_, double tol_,
                                 double phi0_, double ne0_, double kTe_)
    : world(world_),
      method(method_),
      A(checkedUnknownCount(world_, 2, "PotentialSolver")),
      max_it(max_it_),
      tol(tol_),
      phi0(phi0_),
      ne0(ne0_),
      kTe(kTe_) {
  node_type.reserve(static_cast<std::size_t>(A.nu));
}

void PotentialSolver::buildMatrix() {
  const int32_t ni = world.ni, nj = world.nj, nk = world.nk;
  const int32_t nij = ni * nj;
  node_type.assign(static_cast<std::size_t>(A.nu), NODE_INTERIOR);

  for (int32_t k = 0; k < nk; ++k)
    for (int32_t j = 0; j < nj; ++j)
      for (int32_t i = 0; i < ni; ++i) {
        const int32_t u = i + j * ni + k * nij;
        int32_t& type = node_type[static_cast<std::size_t>(u)];
        A.rows[static_cast<std::size_t>(u)].clear();

        if (world.object_id(i, j, k) >= 1) {  // Dirichlet: keeps the object's voltage
          A(u, u) = 1.0;
          type = NODE_FIXED;
          continue;
        }

        type = assembleLaplaceRow(A, world, i, j, k);
      }

  solveQN();
}

bool PotentialSolver::solveQN() {
  // C/m^3, charge density of the reference electron population
  const double n0e = ne0 * 1.602176565e-19;
  for (int i = 0; i < world.ni; ++i)
    for (int j = 0; j < world.nj; ++j)
      for (int k = 0; k < world.nk; ++k) {
        if (world.object_id(i, j, k) > 0) continue;
        double ratio = world.rho(i, j, k) / n0e;
        // The floor keeps the logarithm finite where there is no ion charge
        // (a NaN ratio passes through, as it is not below the floor).
        if (ratio < 1.0e-6) ratio = 1.0e-6;
        world.phi(i, j, k) = phi0 + kTe * std::log(ratio);
      }
  return true;
}

bool PotentialSolver::solve() {
  switch (method) {
    case 0: return solveSORParallel();
    case 1: return solveNRPCG();
    case 2: return solveQN();
    case 3: return solveSORBoltzmann();
    default: return false;
  }
}
