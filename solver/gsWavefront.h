#pragma once

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "solver/SparseMatrix.h"
#include "solver/borderReads.h"
#include "solver/vectorAlgebra.h"
#include "solver/wavefront.h"

namespace plasmabox {

// Gauss-Seidel sweeps over the rows of a seven-point operator, whether the rows
// are stored (SparseMatrix) or made on the fly from the stencil: a row source
// has rows.row(u) returning the MatrixRow of unknown u (a reference or a
// value), so both give the same arithmetic per row.
//
// The rows of a mesh operator form lines of ni rows (the unknowns of one mesh
// line along i). Consecutive lines can be relaxed as a wavefront (see
// solver/wavefront.h) when every column of their rows lies in the row's own
// line, a whole number of lines away, or outside the group. The plan records
// which lines satisfy that; the others are relaxed one row at a time.

// Which lines of an operator may join a wavefront, and how far any row reaches.
struct GSWavefrontPlan {
  int32_t line = 0;                // rows per line; 0: no wavefronts
  std::vector<uint8_t> line_safe;  // per line: 1 when every row of it may join
  int32_t reach = 0;               // largest |column - row|
};

// Rows stored in a SparseMatrix.
struct StoredRows {
  const MatrixRow* rows;
  const MatrixRow& row(int32_t u) const { return rows[u]; }
};

// Gauss-Seidel update of unknown u of A x = b in place, relaxation factor 1:
// the row's products summed in slot order from 0.0, the diagonal term taken
// back out, then x[u] + (g - x[u]). Other unknowns are read through read. A row
// without a diagonal divides by zero and gives a non-finite value.
template <class Read>
inline void relaxRow(const MatrixRow& row, double* x, const double* b, int32_t u, const Read& read) {
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

// The plan of the nu rows of rows for lines of line rows (line = ni for the
// unknown numbering u = i + j*ni + k*ni*nj). Reads every column index once.
template <class Rows>
GSWavefrontPlan gsWavefrontPlan(const Rows& rows, int32_t nu, int32_t line) {
  GSWavefrontPlan plan;
  const bool lined = line >= 1 && nu >= line;
  const int64_t lines = lined ? nu / line : 0;  // a shorter last line never joins
  if (lined) {
    plan.line = line;
    plan.line_safe.assign(static_cast<std::size_t>(lines), 1);
  }
  const int64_t group_reach = int64_t{WAVEFRONT_LINES} * line;  // columns this far away are outside any group
  for (int64_t u = 0; u < nu; ++u) {
    const MatrixRow& row = rows.row(static_cast<int32_t>(u));
    for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v) {
      const int64_t c = row.col[v];
      const int64_t d = c - u;
      plan.reach = std::max(plan.reach, static_cast<int32_t>(std::llabs(d)));
      if (!lined || u >= lines * line) continue;
      const bool fits = std::llabs(d) >= group_reach || d % line == 0 || c / line == u / line;
      if (!fits) plan.line_safe[static_cast<std::size_t>(u / line)] = 0;
    }
  }
  return plan;
}

// Relaxes rows [u, end) in order, whole safe lines as wavefronts.
template <class Rows, class Read>
void relaxRowRange(const Rows& rows, double* x, const double* b, const GSWavefrontPlan& plan, int32_t u, int32_t end,
                   const Read& read) {
  const int32_t L = plan.line;
  const int64_t planned = L > 0 ? static_cast<int64_t>(plan.line_safe.size()) * L : 0;
  while (u < end) {
    // A group: up to WAVEFRONT_LINES whole safe lines inside the range.
    int32_t count = 0;
    if (L > 0 && u % L == 0) {
      while (count < WAVEFRONT_LINES && int64_t{u} + int64_t{count + 1} * L <= end &&
             int64_t{u} + int64_t{count + 1} * L <= planned &&
             plan.line_safe[static_cast<std::size_t>(u / L + count)])
        ++count;
    }
    if (count >= 2) {
      const int32_t first = u;
      visitWavefront(L, count, [&](int m, int p) {
        const int32_t r = first + m * L + p;
        relaxRow(rows.row(r), x, b, r, read);
      });
      u += count * L;
      continue;
    }
    // One row at a time up to the next line start (or the range end).
    const int32_t stop = L > 0 ? (u / L + 1) * L : end;
    const int32_t last = stop < end ? stop : end;
    for (; u < last; ++u) relaxRow(rows.row(u), x, b, u, read);
  }
}

// One Gauss-Seidel sweep of the nu rows of rows on `threads` threads, each
// relaxing the contiguous block of rows a static schedule gives it, reading
// unknowns of other blocks as they stood before the sweep (borders keeps the
// copies between sweeps). On one thread it is the plain row-by-row order.
// Assumes plan was made for rows, and x and b have nu entries.
template <class Rows>
void sweepRows(const Rows& rows, int32_t nu, DenseVector& x_, const DenseVector& b_, const GSWavefrontPlan& plan,
               int threads, BorderCopies& borders) {
  double* x = x_.data();
  const double* b = b_.data();
  const auto width = static_cast<std::size_t>(plan.reach);
  borders.reserveFor(threads, width);
  const auto total = static_cast<std::size_t>(nu);
#pragma omp parallel num_threads(threads)
  relaxBlockWithBorders(x, 0, total, total, width, omp_get_num_threads(), omp_get_thread_num(), borders,
                        [&](const auto& read, std::size_t lo, std::size_t hi) {
                          relaxRowRange(rows, x, b, plan, static_cast<int32_t>(lo), static_cast<int32_t>(hi), read);
                        });
}

// The plan of a stored matrix.
inline GSWavefrontPlan gsWavefrontPlan(const SparseMatrix& A, int32_t line) {
  return gsWavefrontPlan(StoredRows{A.rows.data()}, A.nu, line);
}

// One sweep of a stored matrix (see sweepRows).
inline void sweepGSWavefront(const SparseMatrix& A, DenseVector& x, const DenseVector& b, const GSWavefrontPlan& plan,
                             int threads, BorderCopies& borders) {
  sweepRows(StoredRows{A.rows.data()}, A.nu, x, b, plan, threads, borders);
}

}  // namespace plasmabox
