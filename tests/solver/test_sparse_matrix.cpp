#include <gtest/gtest.h>

#include <cmath>

#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"
#include "solverTestSupport.h"

using namespace plasmabox;

namespace {

TEST(SparseMatrix, SlotsAreClaimedInOrderAndReused) {
  SparseMatrix A(8);
  A(1, 5) = 1.0;
  A(1, 0) = 2.0;
  A(1, 5) = 3.0;  // same column: overwrites, no new slot
  EXPECT_EQ(A.at(1, 7), 0.0);  // const lookup never claims
  const MatrixRow& r = A.rows[1];
  EXPECT_TRUE(r.col[0] == 5 && r.a[0] == 3.0 && r.col[1] == 0 && r.col[2] == -1);
  for (int c = 0; c < 7; ++c) A(2, c) = c;  // seven distinct columns fit
  for (int c = 0; c < 7; ++c) EXPECT_EQ(A.rows[2].col[c], c);
}

// On in release builds too: a full row would otherwise write into the next row.
TEST(SparseMatrixDeathTest, EighthDistinctColumnStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  SparseMatrix A(8);
  for (int c = 0; c < 7; ++c) A(3, c) = 1.0;
  EXPECT_DEATH(A(3, 7) = 1.0, "v!=nvals");
}

TEST(SparseMatrix, RowsAreSummedInSlotOrder) {
  // 1e16 + 1 rounds back to 1e16: the sum is 0 when the 1 comes second, 1 when it comes last.
  SparseMatrix B(3);
  B(0, 0) = 1e16, B(0, 1) = 1.0, B(0, 2) = -1e16;
  B(1, 0) = 1e16, B(1, 2) = -1e16, B(1, 1) = 1.0;
  const DenseVector ones{1, 1, 1};
  EXPECT_EQ(B * ones, (DenseVector{0.0, 1.0, 0.0}));
}

TEST(SparseMatrix, PreconditionerAndDiagonalShift) {
  SparseMatrix A(3);
  for (int i = 0; i < 3; ++i) A(i, i) = 2.0;
  A(0, 2) = 7.0;
  const SparseMatrix M = diagPreconditioner(A);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(M.rows[i].col[0] == i && M.rows[i].a[0] == 0.5 && M.rows[i].col[1] == -1);
  const SparseMatrix C = A - DenseVector{1.0, 0.5, -3.0};
  EXPECT_EQ(A.at(0, 0), 2.0);  // operand untouched
  EXPECT_EQ(C.at(1, 1), 1.5);
  EXPECT_EQ(C.at(0, 2), 7.0);
}

TEST(VectorAlgebra, NormIsTheRootMeanSquare) {
  const DenseVector a{1, 2, 3}, b{4, 5, 6, 100};  // second operand may be longer
  EXPECT_EQ(a - b, (DenseVector{-3, -3, -3}));
  EXPECT_EQ(dot(a, b), 32.0);
  EXPECT_EQ(norm(DenseVector{1, 1, 1, 1}), 1.0);  // not the length 2
  EXPECT_EQ(norm(DenseVector{}), 0.0);
}

}  // namespace
