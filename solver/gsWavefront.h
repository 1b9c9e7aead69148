#pragma once

#include <cstdint>
#include <vector>

#include "solver/SparseMatrix.h"
#include "solver/borderReads.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// The rows of a mesh operator form lines of ni rows (the unknowns of one mesh
// line along i). Consecutive lines can be relaxed as a wavefront (see
// solver/wavefront.h) when every column of their rows lies in the row's own
// line, a whole number of lines away, or outside the group. The plan records
// which lines satisfy that; the others are relaxed one row at a time.

// Which lines of a matrix may join a wavefront, and how far any row reaches.
struct GSWavefrontPlan {
  int32_t line = 0;                // rows per line; 0: no wavefronts
  std::vector<uint8_t> line_safe;  // per line: 1 when every row of it may join
  int32_t reach = 0;               // largest |column - row| of the matrix
};

// The plan of A for lines of line rows (line = ni for the unknown numbering
// u = i + j*ni + k*ni*nj). Reads every column index once.
GSWavefrontPlan gsWavefrontPlan(const SparseMatrix& A, int32_t line);

// One Gauss-Seidel sweep of A x = b on `threads` threads, each relaxing the
// contiguous block of rows a static schedule gives it, reading unknowns of
// other blocks as they stood before the sweep (borders keeps the copies
// between sweeps). On one thread its result is bit-identical to sweepGS.
// Assumes plan was made for A, and x and b have A.nu entries.
void sweepGSWavefront(const SparseMatrix& A, DenseVector& x, const DenseVector& b, const GSWavefrontPlan& plan,
                      int threads, BorderCopies& borders);

// Gauss-Seidel update of row u of A x = b in place, relaxation factor 1: the
// row's products summed in slot order from 0.0, the diagonal term taken back
// out, then x[u] + (g - x[u]). Other unknowns are read through read. A row
// without a diagonal divides by zero and gives a non-finite value.
template <class Read>
inline void relaxRow(const MatrixRow* rows, double* x, const double* b, int32_t u, const Read& read) {
  const MatrixRow& row = rows[u];
  double s = 0.0;
  double diag = 0.0;
  for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v) {
    const int32_t c = row.col[v];
    if (c == u) diag = row.a[v];
    s += row.a[v] * read(static_cast<std::size_t>(c));
  }
  const double xu = x[u];
  s = s - diag * xu;
  const double g = (b[u] - s) / diag;
  x[u] = xu + (g - xu);
}

}  // namespace plasmabox
