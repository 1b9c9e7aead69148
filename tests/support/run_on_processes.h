#pragma once
// Runs the real program directly on one process, through mpirun on more.
#include <cstdlib>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace plasmabox {

inline ProgramResult runOnProcesses(int processes, const std::vector<std::string>& args, const std::string& dir) {
  if (processes == 1) return runProgram(PLASMABOX_BINARY, args, dir, "/dev/null", 300);
  // Open MPI refuses to start as root unless told; test machines often run as root.
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  std::vector<std::string> all = {"-np", std::to_string(processes), "--oversubscribe", PLASMABOX_BINARY};
  all.insert(all.end(), args.begin(), args.end());
  return runProgram(PLASMABOX_MPIRUN, all, dir, "/dev/null", 300);
}

}  // namespace plasmabox
