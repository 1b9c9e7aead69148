#include "driver/RunSettings.h"

#include <omp.h>

#include <algorithm>
#include <cstdlib>

namespace plasmabox {

int chooseTeamSize(int requested) {
  int team = std::min(requested, omp_get_num_procs());
  // omp_get_max_threads() reports OMP_NUM_THREADS (its first value) when that is set.
  if (std::getenv("OMP_NUM_THREADS") != nullptr) team = std::min(team, omp_get_max_threads());
  return std::max(team, 1);
}

RunSettings makeRunSettings(const RunParameters& positional) {
  RunSettings s;
  s.positional = positional;
  s.potential.max_it = positional.solver_max_it;
  s.potential.tol = positional.solver_tol;
  s.magnetostatic.max_it = positional.mag_max_it;
  s.magnetostatic.tol = positional.mag_tol;
  finishRunSettings(s);
  return s;
}

void finishRunSettings(RunSettings& s) {
  s.threads = chooseTeamSize(s.requested_threads);
  s.potential.threads = s.threads;
  s.magnetostatic.threads = s.threads;
  s.output.threads = s.threads;
}

int positionalArgumentCount(const RunParameters& positional) { return FIXED_ARGUMENTS + 5 * positional.num_objects; }

}  // namespace plasmabox
