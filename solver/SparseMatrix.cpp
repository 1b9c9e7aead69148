#include "solver/SparseMatrix.h"

#include <cstdio>
#include <cstdlib>

namespace plasmabox {

void reportFullRow(int32_t r, int32_t c) {
  std::fprintf(stderr,
               "SparseMatrix: row %d has all %d slots taken, no room for column %d "
               "(assertion v!=nvals failed)\n",
               static_cast<int>(r), MatrixRow::nvals, static_cast<int>(c));
  std::abort();
}

void multiplyInto(const SparseMatrix& A, const DenseVector& x, DenseVector& out) {
  out.resize(static_cast<std::size_t>(A.nu));
  double* o = out.data();
  for (int32_t r = 0; r < A.nu; ++r) o[r] = A.multRow(r, x);
}

DenseVector operator*(const SparseMatrix& A, const DenseVector& x) {
  DenseVector out;
  multiplyInto(A, x, out);
  return out;
}

SparseMatrix diagPreconditioner(const SparseMatrix& A) {
  SparseMatrix M(A.nu);
  for (int32_t i = 0; i < A.nu; ++i) M(i, i) = 1.0 / A.at(i, i);
  return M;
}

void subtractDiagonalInto(const SparseMatrix& A, const DenseVector& d, SparseMatrix& C) {
  if (&C != &A) {
    C.nu = A.nu;
    C.rows = A.rows;  // same size after the first call: copies into the existing storage
  }
  for (int32_t i = 0; i < A.nu; ++i) {
    const double aii = A.at(i, i);
    C(i, i) = aii - d[static_cast<std::size_t>(i)];
  }
}

SparseMatrix operator-(const SparseMatrix& A, const DenseVector& d) {
  SparseMatrix C;
  subtractDiagonalInto(A, d, C);
  return C;
}

}  // namespace plasmabox
