#pragma once

#include <array>
#include <memory>
#include <vector>

namespace plasmabox {

// A symmetric seven-point operator on a box of nodes: for node q of the box
// (the first index fastest, then the second, then the third) four values at
// q*4 + e, e = 0 the diagonal, 1, 2, 3 the coupling to the neighbour at -1
// along the first, second, third axis. The coupling to the neighbour at +1 is
// that neighbour's coupling back (the matrix is symmetric, so the library
// stores only half of it). Couplings toward nodes outside the box must be
// zero, except, on a distributed mesh, those toward the boxes of other
// processes: then every process gives its own box, in the global numbering,
// and the library fetches the neighbours' values. Positive definite for the
// solver below.
struct SevenPointOperator {
  std::array<int, 3> lower{};  // first node of the box
  std::array<int, 3> upper{};  // last node of the box, inclusive
  std::vector<double> values;  // 4 per node
  // The box is this process's part of a box shared by all the processes of
  // the run; otherwise the process solves alone, even under mpirun.
  bool shared = false;

  std::size_t nodes() const {
    return static_cast<std::size_t>(upper[0] - lower[0] + 1) * static_cast<std::size_t>(upper[1] - lower[1] + 1) *
           static_cast<std::size_t>(upper[2] - lower[2] + 1);
  }
};

// How one solve ended.
struct MultigridOutcome {
  int iterations = 0;      // conjugate-gradient iterations made
  bool converged = false;  // the residual two-norm reached the bound
  bool failed = false;     // the library reported an error other than non-convergence
};

// Conjugate gradients preconditioned by one multigrid V-cycle (HYPRE's Struct
// interface: PCG with a PFMG cycle, red-black Gauss-Seidel smoothing, skipped
// relaxation on the finest semicoarsened levels) for a SevenPointOperator.
// The operator is set up once; each solve takes a right-hand side and an
// initial guess. Starts the message-passing runtime on first use. Owns the
// library's objects, hence a class.
class StructMultigrid {
 public:
  // Builds the library's grid and matrix and sets the solver up; on several
  // processes every one of them calls it with its own box. Throws
  // std::runtime_error when the library refuses the operator.
  explicit StructMultigrid(const SevenPointOperator& op);
  ~StructMultigrid();
  StructMultigrid(const StructMultigrid&) = delete;
  StructMultigrid& operator=(const StructMultigrid&) = delete;

  // Solves from x (in: initial guess, out: last iterate) until the two-norm of
  // rhs - A x is at most abs_tol or max_iter iterations are made. rhs and x
  // are in the box order of the operator.
  MultigridOutcome solve(const std::vector<double>& rhs, std::vector<double>& x, double abs_tol, int max_iter);

 private:
  struct Handles;
  std::unique_ptr<Handles> h_;
};

}  // namespace plasmabox
