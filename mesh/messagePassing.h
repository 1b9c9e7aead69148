#pragma once

namespace plasmabox {

// The message-passing runtime (MPI) under the multigrid library. Started on
// first use only, because starting it outside mpirun costs about half a
// second that a run without multigrid solves should not pay; stopped once at
// the end of the program.

// This process's place among the processes mpirun started together.
struct ProcessPlace {
  int rank = 0;
  int size = 1;
};

// Outside mpirun: {0, 1}, and MPI stays stopped (a plain run pays nothing for
// it). Under mpirun (found from the launcher's environment): starts MPI and
// returns the place in MPI_COMM_WORLD.
ProcessPlace joinProcesses();

// Ends every process of the run with exit status status after a failure on
// this one, so that none waits for ever for a message from it. Returns only
// when MPI is not running.
void abortProcesses(int status);

// Starts MPI if it is not running yet. Throws std::runtime_error if it cannot start.
void startMessagePassing();

// Runs fn just before MPI stops (a library's own shutdown that needs MPI).
void beforeMessagePassingStops(void (*fn)());

// Stops MPI if it was started here; registered shutdowns run first, last registered first.
void stopMessagePassing();

}  // namespace plasmabox
