#pragma once

#include <cstdint>
#include <vector>

#include "mesh/World.h"
#include "solver/StructMultigrid.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// A linear system of the relaxation solvers restated on the interior nodes of
// the mesh (1 <= i <= ni-2, likewise j and k) as a symmetric positive definite
// seven-point system, so that a multigrid solver can take it. Nothing in the
// equations changes; they are eliminated, not altered:
//  - a fixed node (object, pinned node) keeps its value: its row is the
//    identity and its couplings from other rows move to their right-hand side;
//  - a wall node that copies its inner neighbour (possibly with an offset, the
//    right-hand side of its wall row) is the same unknown as that neighbour,
//    so the coupling toward it adds to the neighbour's diagonal; every wall
//    node an interior row reads copies that very interior node;
//  - rows are negated where needed so that the diagonal is positive.
// Edge and corner nodes, which no interior row reads, are filled in after the
// solve by their rules.
// The box's first axis is the fastest one of the storage the system is built
// from: k for node fields (poissonSystem), i for unknown vectors
// (laplaceSystem).
// On a slab of a distributed mesh the box is the interior of the owned planes
// in global indices; nodes of the ghost planes enter as held values (objects,
// pinned nodes: their values must be there) or as the library's off-process
// unknowns, and the walls along i are only those of the whole box. The fill
// functions write the owned planes only: exchange the ghost planes afterwards.
struct ReducedSystem {
  SevenPointOperator op;    // on the interior box
  std::vector<double> rhs;  // box order
  std::vector<double> x;    // box order: the initial guess, then the solution
};

// The linear Poisson equation as the parallel SOR sweep relaxes it: interior
// rows rho/eps0 plus the seven-point Laplacian (source[n] = rho/eps0 in field
// storage order), wall nodes copying their inner neighbour (grounded: held at
// 0 V), object nodes (object_id > 0) held at world.phi. The initial guess is
// world.phi. hold_first: node (1, 1, 1) is held at 0 V too, which makes the
// system without any held node solvable (with a source of zero mean its
// solution is then the zero-gradient one up to a constant). with_operator
// false leaves op.values empty, for a solver that keeps an earlier operator.
// threads: the team that builds it (every result is the same for any team).
ReducedSystem poissonSystem(const World& world, const std::vector<double>& source, bool grounded, bool hold_first,
                            bool with_operator, int threads);

// Per unknown of poissonSystem's box (in its order), 1 where the row reads no
// held node and no wall node: its right-hand side is its source alone.
std::vector<uint8_t> plainPoissonRows(const World& world, bool grounded, bool hold_first);

// s (a system of poissonSystem on this world, or empty) takes the right-hand
// side and the initial guess poissonSystem would give it, keeping its
// operator and its storage; plain from plainPoissonRows for the same
// arguments. Per step of the electrostatic model this is all that changes.
void updatePoissonSystem(ReducedSystem& s, const std::vector<uint8_t>& plain, const World& world,
                         const std::vector<double>& source, bool grounded, bool hold_first, int threads);

// Writes the solution into world.phi: interior nodes from s.x, object nodes
// kept, wall nodes copied from their inner neighbour by the first matching
// rule (i walls, then j, then k) or 0 V when grounded, the corners (0,0,0)
// and (ni-1,nj-1,nk-1) at 0 V as the sweep pins them.
void fillPotential(const ReducedSystem& s, World& world, bool grounded, bool hold_first, int threads);

// A system A x = b in the unknown numbering whose rows are those of
// assembleLaplaceRow for the classes in node_type (NODE_INTERIOR, NODE_WALL)
// and identity rows for NODE_FIXED, with shift[u] (when given) subtracted from
// the diagonal of interior rows (Newton's Jacobian). x is the initial guess.
ReducedSystem laplaceSystem(const Grid& grid, const std::vector<int32_t>& node_type, const DenseVector& b,
                            const DenseVector* shift, const DenseVector& x, int threads);

// Writes the solution of laplaceSystem into x (unknown numbering): interior
// unknowns from s.x, fixed ones b[u], wall ones their inner neighbour plus
// b[u] times the spacing of their wall rule.
void fillLaplace(const ReducedSystem& s, const Grid& grid, const std::vector<int32_t>& node_type,
                 const DenseVector& b, DenseVector& x, int threads);

}  // namespace plasmabox
