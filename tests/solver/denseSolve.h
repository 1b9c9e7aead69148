#pragma once
// A direct solve of small systems, as the reference the iterative solvers are checked against.

#include <cmath>
#include <utility>
#include <vector>

#include "solver/SparseMatrix.h"

namespace plasmabox {

// Solves A x = b by Gaussian elimination with partial pivoting on a dense copy
// of A (fine up to a few thousand unknowns).
inline DenseVector denseSolve(const SparseMatrix& A, DenseVector b) {
  const auto n = static_cast<std::size_t>(A.nu);
  std::vector<double> m(n * n, 0.0);
  for (std::size_t r = 0; r < n; ++r)
    for (int v = 0; v < MatrixRow::nvals && A.rows[r].col[v] >= 0; ++v)
      m[r * n + static_cast<std::size_t>(A.rows[r].col[v])] = A.rows[r].a[v];
  for (std::size_t c = 0; c < n; ++c) {
    std::size_t p = c;
    for (std::size_t r = c + 1; r < n; ++r)
      if (std::fabs(m[r * n + c]) > std::fabs(m[p * n + c])) p = r;
    if (p != c) {
      for (std::size_t k = 0; k < n; ++k) std::swap(m[c * n + k], m[p * n + k]);
      std::swap(b[c], b[p]);
    }
    for (std::size_t r = c + 1; r < n; ++r) {
      const double f = m[r * n + c] / m[c * n + c];
      if (f == 0.0) continue;
      for (std::size_t k = c; k < n; ++k) m[r * n + k] -= f * m[c * n + k];
      b[r] -= f * b[c];
    }
  }
  DenseVector x(n);
  for (std::size_t r = n; r-- > 0;) {
    double s = b[r];
    for (std::size_t k = r + 1; k < n; ++k) s -= m[r * n + k] * x[k];
    x[r] = s / m[r * n + r];
  }
  return x;
}

}  // namespace plasmabox
