#pragma once

#include <vector>

#include "mesh/World.h"
#include "solver/borderReads.h"
#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// The single sweeps inside the relaxation solvers, exposed so that their cost
// can be measured apart from the residual checks.

// One over-relaxed Gauss-Seidel sweep (relaxation factor `factor`) of the
// linear Poisson equation on world.phi: corners (0,0,0) and (ni-1,nj-1,nk-1)
// set to 0 V, object nodes kept, wall nodes copied from their inner
// neighbour (set to 0 V with grounded walls). source[n] = rho[n] / EPS_0 (V/m^2) for every node, as
// poissonSource returns it. Runs on `threads` threads, each relaxing one
// contiguous block of nodes in storage order, reading its neighbours in other
// blocks as they stood before the sweep (borders keeps the copies between
// sweeps); on one thread it is the plain Gauss-Seidel order. On a slab of a
// distributed mesh it relaxes the owned planes only and reads the ghost planes
// as they are: exchange them before the sweep (exchangeGhostPlanes).
void sweepSORParallel(World& world, const std::vector<double>& source, double factor, bool grounded, int threads,
                      BorderCopies& borders);

// rho / EPS_0 per node (V/m^2): the source term of the Poisson sweeps.
std::vector<double> poissonSource(const World& world);

// The same into source (resized to the node count), which keeps its storage.
void poissonSourceInto(const World& world, std::vector<double>& source);

// One Gauss-Seidel sweep of A x = b over all rows in order, on the calling
// thread: the plain order the parallel sweeps reproduce on one thread.
// Assumes x and b have A.nu entries.
void sweepGS(const SparseMatrix& A, DenseVector& x, const DenseVector& b);

}  // namespace plasmabox
