#include "solver/gaussSeidel.h"

#include <iostream>

#include "solver/gsWavefront.h"
#include "solver/relaxationSweeps.h"
#include "solver/solverSupport.h"

namespace plasmabox {

bool reportResidual(double R, double tol) {
  std::cout << R << std::endl;
  return tol > R;
}

void reportGSFailure(double R) { std::cerr << "GS failed to converge, L2=" << R << std::endl; }

void sweepGS(const SparseMatrix& A, DenseVector& x_, const DenseVector& b_) {
  double* x = x_.data();
  const double* b = b_.data();
  const MatrixRow* rows = A.rows.data();
  for (int32_t u = 0; u < A.nu; ++u) relaxRow(rows[u], x, b, u, DirectRead{x});
}

bool solveGS(const SparseMatrix& A, DenseVector& x, const DenseVector& b, const RelaxationControl& control,
             int32_t line) {
  const GSWavefrontPlan plan = gsWavefrontPlan(A, line);
  BorderCopies borders;
  DenseVector r;  // residual buffer, kept across checks
  double R = 0.0;
  for (int32_t it = 0; it < control.max_it; ++it) {
    sweepGSWavefront(A, x, b, plan, control.threads, borders);
    if (it % control.check_interval == 0) {
      multiplyInto(A, x, r);
      for (std::size_t u = 0; u < r.size(); ++u) r[u] = r[u] - b[u];
      R = norm(r);
      if (reportResidual(R, control.tol)) return true;
    }
  }
  reportGSFailure(R);
  return false;
}

}  // namespace plasmabox
