#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/World.h"
#include "solver/SolverSettings.h"
#include "solver/ReducedSystem.h"
#include "solver/SparseMatrix.h"
#include "solver/StructMultigrid.h"
#include "solver/laplaceRow.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

class UnknownGhostPlanes;

// Solver of the electrostatic potential on the world's mesh: objects (nodes
// with object_id >= 1) hold the potential found in phi, the box walls have a
// zero normal gradient, and the interior obeys Poisson's equation, optionally
// with Boltzmann electrons n_e = ne0 * exp((phi - phi0) / kTe).
//
// Use: construct, buildMatrix() once the objects and their voltages are on
// the mesh, then solve(). The solver keeps a reference to the World, which
// must outlive it.
//
// On a slab of a distributed mesh (World(part, nj, nk)) every process calls
// the same functions with the same settings: the relaxation solvers and the
// multigrid solve share the work by planes (each process relaxes its own,
// reading its neighbours' border planes as exchanged before each sweep), sum
// their residuals over all processes and so stop together, and leave the
// ghost planes of phi holding the neighbours' final values. The walls and
// pinned corners are those of the whole box. Newton's method (method 1, and
// method 3 with multigrid) runs on a slab with multigrid steps: each process
// keeps the equations of its own planes, the update's norm is the whole
// mesh's, and every process makes the same steps. Method 1 with conjugate
// gradients and Gauss-Seidel (the assembled matrix solved without multigrid)
// runs on one process only.
struct PotentialSolver {
  World& world;
  PotentialSettings settings;
  int32_t nu;                      // number of unknowns, ni*nj*nk
  SparseMatrix A;                  // the discrete operator, one row per node; assembled only for Newton's method.
                                   // On a slab: ghost-plane rows are identities, their node_type the node's class
  std::vector<int32_t> node_type;  // NODE_INTERIOR / NODE_WALL / NODE_FIXED per unknown, with A

  // Diagnostics of the last solveNRPCG call (they do not affect any result):
  // Newton steps made, and conjugate-gradient iterations summed over them.
  int32_t newton_steps = 0;
  int64_t pcg_iterations = 0;
  // Of the last solve: sweeps, conjugate-gradient iterations or Newton steps
  // made, and the last residual measured (Newton: the last update's norm).
  int64_t last_iterations = 0;
  double last_residual = 0.0;

  // Stores the settings; A and node_type stay empty until buildMatrix. Throws
  // std::invalid_argument when a node count is below 3 and std::out_of_range
  // when the node count does not fit the 32-bit unknown numbering;
  // std::runtime_error naming the options when method 1 without multigrid is
  // asked for on a slab of a distributed mesh (see checkSharable).
  PotentialSolver(World& world, const PotentialSettings& settings);
  ~PotentialSolver();

  // Assembles A and node_type from world.object_id and the spacing when the
  // selected method reads them (Newton's: method 1, and method 3 with
  // multigrid), then sets the initial potential with solveQN (which reads
  // world.rho as it is now). Calling it again replaces the previous assembly.
  void buildMatrix();

  // Assembles A and node_type whatever the method.
  void assembleMatrix();

  // Boltzmann inversion: at every node with object_id <= 0,
  // phi = phi0 + kTe * ln(max(rho / (ne0 * e), 1e-6)); object nodes keep
  // their potential. Always returns true.
  bool solveQN();

  // Runs the method selected by settings.method and returns its result; any
  // other value does nothing and returns false. With settings.multigrid the
  // linear solves go to the multigrid solver: method 0 by solveMultigrid,
  // methods 1 and 3 by Newton's iteration (solveNRPCG) with multigrid inner
  // solves; method 2 has no linear solve.
  bool solve();

  // The linear Poisson equation of solveSORParallel, solved by multigrid to
  // the same tolerance on the same residual, with the same console lines
  // ("potential solve", the residual at each check, the failure line). The
  // set-up of the multigrid hierarchy is kept for later solves (the objects
  // and the mesh do not change). From the third solve on, the iteration
  // starts from the last two solutions extrapolated linearly (a plasma's
  // potential changes smoothly from one solve to the next), which saves
  // about one iteration in four or five.
  bool solveMultigrid();

  // Linear Poisson equation on phi in place, over-relaxed Gauss-Seidel
  // (settings.sor_factor) on settings.threads OpenMP threads; the nodes
  // (0,0,0) and (ni-1,nj-1,nk-1) are pinned to 0 V. Prints "potential solve",
  // then the residual (V/m^2, root mean square) after sweep 1 and every
  // settings.check_interval sweeps. Returns true once a residual is below
  // tol; otherwise prints "GS failed to converge, L2=" on standard error and
  // returns false. phi keeps the last iterate either way.
  bool solveSORParallel();

  // Poisson-Boltzmann equation on phi in place, over-relaxed Gauss-Seidel
  // (settings.boltzmann_sor_factor) on the calling thread, no pinned nodes.
  // Output and result as solveSORParallel.
  bool solveSORBoltzmann();

  // Jacobi-preconditioned conjugate gradients for A x = b, starting from x.
  // Returns true when the root-mean-square of the residual drops below tol
  // within max_it iterations; otherwise prints "PCG failed to converge,
  // norm(g) = " on standard error and returns false. x holds the last
  // iterate either way. Assumes x and b have A.nu entries.
  bool solvePCG(const SparseMatrix& A, DenseVector& x, const DenseVector& b);

  // True when the settings ask for it and nothing holds the potential (no
  // object node, zero-gradient walls): then the potential of zero mean is
  // solved for, with the mean of the source removed (said once on standard error).
  bool zeroMeanSystem();

  // Newton-Raphson on the Poisson-Boltzmann equation (at most
  // settings.newton_max_steps steps, each solved by solvePCG with solveGS as
  // fallback, or by multigrid with settings.multigrid, which prints "PCG failed
  // to converge, norm(g) = " when it fails), stopping when the root-mean-square update is below
  // settings.newton_tol (V). Writes the last iterate into world.phi in both
  // outcomes; prints "NR+PCG failed to converge, norm = " on standard output
  // and returns false when the steps run out. Throws std::logic_error if
  // buildMatrix has not run, std::runtime_error as checkSharable.
  bool solveNRPCG();

  // The memory of solveMultigrid's extrapolated start: the solution before
  // the last one (node order, like world.phi; empty until there is one) and
  // the count of multigrid solves begun. A checkpoint keeps both, so that a
  // restarted run starts its solves from the same guesses.
  const std::vector<double>& olderSolution() const { return older_phi_; }
  int64_t multigridSolves() const { return solves_; }
  void restoreStartMemory(std::vector<double> older, int64_t solves) {
    older_phi_ = std::move(older);
    solves_ = solves;
  }

 private:
  // One Newton step's linear solve J y = F by multigrid, from y, to tol.
  // y's ghost planes are exchanged at the end (ghosts: y's exchange).
  void solveNewtonStepByMultigrid(const SparseMatrix& J, const DenseVector& P, const DenseVector& F, DenseVector& y,
                                  UnknownGhostPlanes& ghosts);

  std::unique_ptr<StructMultigrid> multigrid_;  // set up at the first multigrid solve of method 0
  // Kept from one multigrid solve of method 0 to the next: the reduced
  // system (its right-hand side and guess renewed each time), which of its
  // rows take the source alone, rho / eps0 and the residual's plane sums.
  ReducedSystem system_;
  std::vector<uint8_t> plain_rows_;
  std::vector<double> source_;
  std::vector<double> plane_sums_;
  // The solution before the last one (node order; held nodes unused) and
  // the number of multigrid solves begun: world.phi, the next guess, becomes
  // phi + (phi - older_phi_) where both are solutions.
  std::vector<double> older_phi_;
  int64_t solves_ = 0;
  void extrapolateGuess();
  bool said_zero_mean_ = false;
};

// Throws std::runtime_error naming the options when settings select a method
// that runs on one process only (method 1 without multigrid) and part is
// shared among several.
void checkSharable(const PotentialSettings& settings, const Decomposition& part);

}  // namespace plasmabox
