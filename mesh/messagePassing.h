#pragma once

namespace plasmabox {

// The message-passing runtime (MPI) under the multigrid library. Started on
// first use only, because starting it outside mpirun costs about half a
// second that a run without multigrid solves should not pay; stopped once at
// the end of the program.

// Starts MPI if it is not running yet. Throws std::runtime_error if it cannot start.
void startMessagePassing();

// Runs fn just before MPI stops (a library's own shutdown that needs MPI).
void beforeMessagePassingStops(void (*fn)());

// Stops MPI if it was started here; registered shutdowns run first, last registered first.
void stopMessagePassing();

}  // namespace plasmabox
