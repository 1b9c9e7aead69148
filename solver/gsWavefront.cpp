#include "solver/gsWavefront.h"

#include <omp.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

#include "solver/wavefront.h"

namespace plasmabox {

GSWavefrontPlan gsWavefrontPlan(const SparseMatrix& A, int32_t line) {
  GSWavefrontPlan plan;
  for (int64_t u = 0; u < A.nu; ++u) {
    const MatrixRow& row = A.rows[static_cast<std::size_t>(u)];
    for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v)
      plan.reach = std::max(plan.reach, static_cast<int32_t>(std::llabs(row.col[v] - u)));
  }
  if (line < 1 || A.nu < line) return plan;
  plan.line = line;
  const int64_t lines = A.nu / line;  // a shorter last line never joins
  plan.line_safe.assign(static_cast<std::size_t>(lines), 1);
  const int64_t reach = int64_t{WAVEFRONT_LINES} * line;  // columns this far away are outside any group
  for (int64_t u = 0; u < lines * line; ++u) {
    const MatrixRow& row = A.rows[static_cast<std::size_t>(u)];
    for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v) {
      const int64_t c = row.col[v];
      const int64_t d = c - u;
      const bool fits = std::llabs(d) >= reach || d % line == 0 || c / line == u / line;
      if (!fits) plan.line_safe[static_cast<std::size_t>(u / line)] = 0;
    }
  }
  return plan;
}

namespace {

// Relaxes rows [u, end) in order, whole safe lines as wavefronts.
template <class Read>
void relaxRows(const MatrixRow* rows, double* x, const double* b, const GSWavefrontPlan& plan, int32_t u,
               int32_t end, const Read& read) {
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
      visitWavefront(L, count, [&](int m, int p) { relaxRow(rows, x, b, first + m * L + p, read); });
      u += count * L;
      continue;
    }
    // One row at a time up to the next line start (or the range end).
    const int32_t stop = L > 0 ? (u / L + 1) * L : end;
    const int32_t last = stop < end ? stop : end;
    for (; u < last; ++u) relaxRow(rows, x, b, u, read);
  }
}

}  // namespace

void sweepGSWavefront(const SparseMatrix& A, DenseVector& x_, const DenseVector& b_, const GSWavefrontPlan& plan,
                      int threads, BorderCopies& borders) {
  double* x = x_.data();
  const double* b = b_.data();
  const MatrixRow* rows = A.rows.data();
  const auto width = static_cast<std::size_t>(plan.reach);
  borders.reserveFor(threads, width);
#pragma omp parallel num_threads(threads)
  relaxBlockWithBorders(x, static_cast<std::size_t>(A.nu), width, omp_get_num_threads(), omp_get_thread_num(),
                        borders, [&](const auto& read, std::size_t lo, std::size_t hi) {
                          relaxRows(rows, x, b, plan, static_cast<int32_t>(lo), static_cast<int32_t>(hi), read);
                        });
}

}  // namespace plasmabox
