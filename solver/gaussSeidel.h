#pragma once

#include <cstdint>

#include "mesh/World.h"
#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"

// Gauss-Seidel on A x = b, starting from x and leaving the last iterate in x.
// Each sweep runs on world.num_threads OpenMP threads, one contiguous block
// of rows per thread, updating x in place (values from other blocks are
// taken as they stand). After sweeps 1, 26, 51, ... the root-mean-square of
// A x - b is printed on standard output; the solve returns true as soon as
// one is below tol. After max_it sweeps without that (none if max_it <= 0) it
// prints "GS failed to converge, L2=" and the last residual (0 if none was
// computed) on standard error and returns false. A zero diagonal gives
// non-finite values, which never pass the test. Assumes x and b have A.nu entries.
bool solveGS(const SparseMatrix& A, DenseVector& x, const DenseVector& b, int32_t max_it, double tol,
             const World& world);

// Prints residual R on its own line on standard output; true when tol > R
// (never for a NaN residual).
bool reportResidual(double R, double tol);

// Prints "GS failed to converge, L2=" and R on standard error.
void reportGSFailure(double R);
