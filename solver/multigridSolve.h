#pragma once

#include <cmath>

#include "solver/ReducedSystem.h"
#include "solver/StructMultigrid.h"
#include "solver/gaussSeidel.h"

namespace plasmabox {

// How a multigrid solve to a tolerance ended.
struct MultigridRun {
  bool converged = false;
  double R = 0.0;      // the last residual measured, in the caller's measure
  int iterations = 0;  // conjugate-gradient iterations in all
};

// Solves s with mg until the caller's residual measure falls below tol, the
// stopping rule of the relaxation solvers. measure() writes the solution back
// where the caller keeps it and returns the root mean square of the original
// equations; `scale` converts that into the two-norm the library bounds (the
// square root of the number of equations the mean is taken over). The library
// stops at its bound; when rounding in the eliminated equations leaves the
// measure above tol, the solve goes on with a tighter bound. print: each
// measured residual on its own line (reportResidual). At most max_it
// iterations in all.
template <class Measure>
MultigridRun solveToTolerance(StructMultigrid& mg, ReducedSystem& s, double tol, double scale, int max_it,
                              Measure measure, bool print) {
  MultigridRun run;
  double bound = tol * scale;
  for (int round = 0; round < 8 && run.iterations < max_it; ++round) {
    const MultigridOutcome out = mg.solve(s.rhs, s.x, bound, max_it - run.iterations);
    run.iterations += out.iterations;
    run.R = measure();
    const bool below = print ? reportResidual(run.R, tol) : tol > run.R;
    if (below) {
      run.converged = true;
      break;
    }
    if (out.failed || !out.converged || !(run.R > 0.0) || !std::isfinite(run.R)) break;
    bound *= 0.5 * tol / run.R;  // met the library's bound but not ours: aim below it
  }
  return run;
}

}  // namespace plasmabox
