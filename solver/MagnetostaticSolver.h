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
// Objects are ordinary nodes here. Keeps a reference to the World, which
// must outlive it.
struct MagnetostaticSolver {
  World& world;
  SparseMatrix A;                  // the operator, one row per node
  DenseVector x;                   // A, phi_m in unknown order; the initial guess of the next solve
  int32_t pin_node_1;              // unknown held at phi_m = 0
  int32_t pin_node_2;              // the second one (may equal the first)
  std::vector<int32_t> node_type;  // 0 interior, 1 wall, 2 pinned
  MagnetostaticSettings settings;  // limits and team of the Gauss-Seidel solve

  // Stores the settings and assembles A (x starts at zero). A pin point
  // outside the mesh pins the nearest node: each index is clamped into
  // 0 .. n-1. Throws std::invalid_argument when a node count is below 3
  // (the one-sided differences need three nodes) and std::out_of_range when
  // the node count does not fit the 32-bit unknown numbering.
  MagnetostaticSolver(World& world, const MagnetostaticSettings& settings);

  // Node divergence of M, A/m^2, in unknown order: central differences inside,
  // second-order one-sided ones on the walls.
  DenseVector divergence(const VectorField& M) const;

  // Solves for phi_m from world.M with solveGS (starting from x), then sets
  // world.phi_m, world.H = -grad(phi_m) (A/m) and world.B (T): MU_0 * H where
  // M is exactly zero, MU_0 * M at magnetised nodes. The fields are set from
  // the last iterate even without convergence. Returns solveGS's result.
  bool solveMagnetostatics();
};

}  // namespace plasmabox
