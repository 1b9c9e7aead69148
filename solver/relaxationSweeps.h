#pragma once

#include <vector>

#include "mesh/World.h"
#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// The single sweeps inside the parallel relaxation solvers, exposed so that
// their cost can be measured apart from the residual checks. Both run on
// `threads` OpenMP threads with a static schedule and update the unknowns in
// place with relaxed atomic accesses.

// One over-relaxed Gauss-Seidel sweep (relaxation factor `factor`) of the
// linear Poisson equation on world.phi: corners (0,0,0) and (ni-1,nj-1,nk-1)
// set to 0 V, object nodes kept, wall nodes copied from their inner
// neighbour. source[n] = rho[n] / EPS_0 (V/m^2) for every node, as
// poissonSource returns it.
void sweepSORParallel(World& world, const std::vector<double>& source, double factor, int threads);

// rho / EPS_0 per node (V/m^2): the source term of the Poisson sweeps.
std::vector<double> poissonSource(const World& world);

// One Gauss-Seidel sweep of A x = b over all rows. Assumes x and b have A.nu entries.
void sweepGS(const SparseMatrix& A, DenseVector& x, const DenseVector& b, int threads);

}  // namespace plasmabox
