#pragma once

#include <exception>
#include <string>

#include "mesh/Decomposition.h"

namespace plasmabox {

// The console and the failures of a run on several processes. Every process
// runs the same set-up and the same loop; only the first process prints, so
// that the console reads as a single process's. A failure ends every process
// with exit status 1 and its message printed once, never a hang.

// Silences standard output and standard error on every process but the
// first (rank 0). Call once, at the start.
void printOnFirstProcessOnly(int rank);

// The message of a failure: the exception's own, or a plain description of
// an exhausted memory or an unknown exception.
std::string failureMessage(std::exception_ptr failure);

// Prints message on standard error from this process, whatever its rank.
void printFailure(const std::string& message);

// Thrown on every process when the set-up failed on some process and the
// message has been printed: the program exits with status 1, quietly.
struct RunStopped : std::exception {
  const char* what() const noexcept override { return "the run stopped on a failure reported above"; }
};

// Where the set-up ends, before the first message between the processes:
// every process calls it with its own failure or none. One process: rethrows
// its failure. Several: when any failed, the lowest-numbered failing process
// prints its message and every process throws RunStopped; otherwise returns.
void stopOnAnyFailure(const Decomposition& part, std::exception_ptr failure);

}  // namespace plasmabox
