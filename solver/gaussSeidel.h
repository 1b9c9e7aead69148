#pragma once

#include <cstdint>

#include "solver/SolverSettings.h"
#include "solver/SparseMatrix.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// Gauss-Seidel on A x = b, starting from x and leaving the last iterate in x.
// Each sweep runs on control.threads OpenMP threads, one contiguous block of
// rows per thread, updating x in place (values from other blocks are read as
// they stood before the sweep, so the result depends on the team size but not
// on timing). Rows form lines of `line` unknowns (ni for the mesh numbering),
// which lets whole lines relax as wavefronts with the same result. After
// sweep 1 and every control.check_interval sweeps after it, the
// root-mean-square of A x - b is printed on standard output; the solve
// returns true as soon as one is below control.tol. After control.max_it
// sweeps without that (none if max_it <= 0) it prints "GS failed to
// converge, L2=" and the last residual (0 if none was computed) on standard
// error and returns false. A zero diagonal gives non-finite values, which
// never pass the test. Assumes x and b have A.nu entries.
bool solveGS(const SparseMatrix& A, DenseVector& x, const DenseVector& b, const RelaxationControl& control,
             int32_t line);

// Prints residual R on its own line on standard output; true when tol > R
// (never for a NaN residual).
bool reportResidual(double R, double tol);

// Prints "GS failed to converge, L2=" and R on standard error.
void reportGSFailure(double R);

}  // namespace plasmabox
