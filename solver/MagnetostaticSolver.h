#pragma once

#include <cstdint>
#include <vector>

#include "mesh/World.h"
#include "solver/SolverSettings.h"
#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// Magnetic scalar potential of the magnetisation on the mesh:
//   laplacian(phi_m) = div(M),  H = -grad(phi_m),
// with zero-normal-gradient walls and phi_m = 0 at the nodes of
// world.pin_point_1 and world.pin_point_2 (which fix the free constant).
// Objects are ordinary nodes here. The operator is never stored: its rows are
// made from the stencil as the sweeps need them. Keeps a reference to the
// World, which must outlive it.
//
// On a slab of a distributed mesh (World(part, nj, nk)) the unknowns are the
// slab's nodes, ghost planes included; each process relaxes and measures its
// own planes, reading the neighbours' border planes as last exchanged, and
// every process takes the same decisions from residuals summed over all.
struct MagnetostaticSolver {
  // The rule of an unknown's row. GHOST: a node of a neighbour process's
  // plane, kept by the sweeps (an identity row whose right-hand side is the
  // value received), its own equation being solved by its owner.
  enum RowKind : uint8_t {
    INTERIOR, WALL_I_LOW, WALL_I_HIGH, WALL_J_LOW, WALL_J_HIGH, WALL_K_LOW, WALL_K_HIGH, PINNED, GHOST
  };

  World& world;
  MagnetostaticSettings settings;
  DenseVector x;                  // phi_m in unknown order (u = i + j*ni + k*ni*nj); the next solve's initial guess
  int32_t pin_node_1;             // unknown held at phi_m = 0; -1 when the node is not stored on this process
  int32_t pin_node_2;             // the second one (may equal the first)
  std::vector<uint8_t> row_kind;  // RowKind per unknown

  // Stores the settings, classifies the rows (x starts at zero). A pin point
  // pins the node whose cell holds it, each index clamped into 1 .. n-2 of
  // the whole mesh: the nodes on the walls are read by no equation but their
  // own, so a pin there would fix nothing. Throws std::invalid_argument when a node count is below
  // 3 and std::out_of_range when the node count does not fit the 32-bit
  // unknown numbering.
  MagnetostaticSolver(World& world, const MagnetostaticSettings& settings);

  // Node divergence of M, A/m^2, in unknown order: central differences inside,
  // second-order one-sided ones on the walls.
  DenseVector divergence(const VectorField& M) const;

  // Solves for phi_m from world.M (starting from x), by Gauss-Seidel sweeps or,
  // with settings.multigrid, by the multigrid solver, then sets world.phi_m,
  // world.H = -grad(phi_m) (A/m) and world.B (T): MU_0 * H where M is exactly
  // zero, MU_0 * M at magnetised nodes. Prints the residual (root mean square
  // of A x - b over all unknowns, A/m^2) at each check and "GS failed to
  // converge, L2=" when the limit is reached; the fields are set from the last
  // iterate either way. Returns true when the residual fell below the tolerance.
  bool solveMagnetostatics();

  // Row u of the operator exactly as an assembled matrix stores it: the
  // seven-point Laplacian inside, (x_wall - x_inner) / h on the walls, the
  // identity at the pinned nodes.
  MatrixRow row(int32_t u) const;

  // Root mean square of A x - b over all unknowns, summed in unknown order
  // (on a slab: over the owned ones, the processes' sums added in rank order).
  double residual(const DenseVector& b) const;

  // The rule of node (i, j, k)'s own equation, for a ghost node too.
  RowKind equationKind(int32_t i, int32_t j, int32_t k) const;

 private:
  bool solveBySweeps(const DenseVector& b);
  bool solveByMultigrid(const DenseVector& b);
};

// The operator of solver as a stored matrix (for comparisons: the sweeps on
// the stencil must give exactly what the sweeps of this matrix give).
SparseMatrix assembleMagnetostaticMatrix(const MagnetostaticSolver& solver);

}  // namespace plasmabox
