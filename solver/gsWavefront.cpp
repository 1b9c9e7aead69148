#include "solver/gsWavefront.h"

#include <omp.h>

#include <cstddef>
#include <cstdlib>

#include "mesh/staticBlock.h"
#include "solver/solverSupport.h"
#include "solver/wavefront.h"

namespace plasmabox {

GSWavefrontPlan gsWavefrontPlan(const SparseMatrix& A, int32_t line) {
  GSWavefrontPlan plan;
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

void sweepGSWavefront(const SparseMatrix& A, DenseVector& x_, const DenseVector& b_, const GSWavefrontPlan& plan,
                      int threads) {
  double* x = x_.data();
  const double* b = b_.data();
  const MatrixRow* rows = A.rows.data();
  const int32_t nu = A.nu;
  const int32_t L = plan.line;
  const int64_t planned = L > 0 ? static_cast<int64_t>(plan.line_safe.size()) * L : 0;
#pragma omp parallel num_threads(threads)
  {
    const IndexRange block = staticBlock(nu, omp_get_num_threads(), omp_get_thread_num());
    const auto end = static_cast<int32_t>(block.end);
    auto u = static_cast<int32_t>(block.begin);
    while (u < end) {
      // A group: up to WAVEFRONT_LINES whole safe lines inside the block.
      int32_t count = 0;
      if (L > 0 && u % L == 0) {
        while (count < WAVEFRONT_LINES && int64_t{u} + int64_t{count + 1} * L <= end &&
               int64_t{u} + int64_t{count + 1} * L <= planned &&
               plan.line_safe[static_cast<std::size_t>(u / L + count)])
          ++count;
      }
      if (count >= 2) {
        const int32_t first = u;
        visitWavefront(L, count, [&](int m, int p) { relaxRow(rows, x, b, first + m * L + p); });
        u += count * L;
        continue;
      }
      // One row at a time up to the next line start (or the block end).
      const int32_t stop = L > 0 ? (u / L + 1) * L : end;
      const int32_t last = stop < end ? stop : end;
      for (; u < last; ++u) relaxRow(rows, x, b, u);
    }
  }
}

}  // namespace plasmabox
