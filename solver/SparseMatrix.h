#pragma once

#include <cstdint>
#include <vector>

#include "solver/vectorAlgebra.h"

namespace plasmabox {

// One row of the fixed-width matrix: room for the seven entries of a
// seven-point stencil. Slots are claimed from slot 0 upwards and never
// released, so the occupied slots form a prefix and the first slot with a
// negative column ends the row; no separate length is needed.
struct MatrixRow {
  static constexpr int nvals = 7;
  double a[nvals] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};  // coefficients, slot 0 first
  int32_t col[nvals] = {-1, -1, -1, -1, -1, -1, -1};      // column per slot, -1 = empty

  // Back to seven zero values and seven empty columns.
  void clear() { *this = MatrixRow{}; }
};

// Reports a row that has no slot left for a new column and stops the process.
// Reaching it is a programming error (the assembly never puts more than seven
// columns in a row), so the check stays on in release builds: writing past
// the seven slots would corrupt the neighbouring row silently.
[[noreturn]] void reportFullRow(int32_t r, int32_t c);

// Square matrix of nu rows of seven slots each, rows stored contiguously so
// that assembling and traversing it needs no per-entry allocation. Copies
// are deep; the size never changes after construction.
struct SparseMatrix {
  int32_t nu = 0;               // number of rows = number of unknowns
  std::vector<MatrixRow> rows;  // row u at position u

  SparseMatrix() = default;

  // nu cleared rows; a negative nu gives an empty matrix.
  explicit SparseMatrix(int32_t nu_) : nu(nu_ > 0 ? nu_ : 0), rows(static_cast<std::size_t>(nu)) {}

  // Writable value of entry (r, c). If row r has no slot for column c yet,
  // the first empty slot is given column c (its value is 0.0 in a cleared
  // row). An eighth distinct column in one row stops the process (see
  // reportFullRow). Assumes 0 <= r < nu.
  double& operator()(int32_t r, int32_t c) {
    MatrixRow& row = rows[static_cast<std::size_t>(r)];
    for (int v = 0; v < MatrixRow::nvals; ++v) {
      if (row.col[v] == c) return row.a[v];
      if (row.col[v] < 0) {
        row.col[v] = c;
        return row.a[v];
      }
    }
    reportFullRow(r, c);
  }

  // Value of entry (r, c) without claiming a slot: 0.0 when row r holds no
  // column c. Safe to call from several threads at once.
  double at(int32_t r, int32_t c) const {
    const MatrixRow& row = rows[static_cast<std::size_t>(r)];
    for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v)
      if (row.col[v] == c) return row.a[v];
    return 0.0;
  }

  // Sum over the occupied slots of row r, in slot order, of a[v] * x[col[v]],
  // starting from 0.0. Assumes x has nu entries.
  double multRow(int32_t r, const DenseVector& x) const {
    const MatrixRow& row = rows[static_cast<std::size_t>(r)];
    const double* xv = x.data();
    double sum = 0.0;
    for (int v = 0; v < MatrixRow::nvals && row.col[v] >= 0; ++v) sum += row.a[v] * xv[row.col[v]];
    return sum;
  }
};

// A * x: entry r is A.multRow(r, x). Assumes x has A.nu entries.
DenseVector operator*(const SparseMatrix& A, const DenseVector& x);

// The same product written into out (resized to A.nu), so iterative solvers
// can keep one buffer across iterations; same arithmetic as A * x.
void multiplyInto(const SparseMatrix& A, const DenseVector& x, DenseVector& out);

// Jacobi preconditioner: a new matrix with 1.0 / A(i, i) on its diagonal and
// no other entries. A missing or zero diagonal gives an infinite entry.
SparseMatrix diagPreconditioner(const SparseMatrix& A);

// Deep copy of A with d[i] subtracted from each diagonal entry (A(i, i) - d[i]);
// A itself is not changed. Assumes d has A.nu entries.
SparseMatrix operator-(const SparseMatrix& A, const DenseVector& d);

// The same into C, reusing C's row storage: C = A, then C(i, i) = A(i, i) - d[i].
void subtractDiagonalInto(const SparseMatrix& A, const DenseVector& d, SparseMatrix& C);

}  // namespace plasmabox
