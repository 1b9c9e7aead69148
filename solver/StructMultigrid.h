#pragma once

#include <array>
#include <memory>
#include <vector>

namespace plasmabox {

// A seven-point operator on a box of mesh nodes: for node q of the box (the
// first index fastest, then the second, then the third) the seven values at
// q*7 + e, e = 0 centre, 1 and 2 the neighbours at -1 and +1 along the first
// axis, 3 and 4 along the second, 5 and 6 along the third. Entries toward
// nodes outside the box must be zero. Symmetric and positive definite for the
// solver below.
struct SevenPointOperator {
  std::array<int, 3> lower{};  // first node of the box, mesh indices
  std::array<int, 3> upper{};  // last node of the box, inclusive
  std::vector<double> values;  // 7 per node

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
  // Builds the library's grid and matrix and sets the solver up. Throws
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
