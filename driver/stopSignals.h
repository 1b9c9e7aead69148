#pragma once

namespace plasmabox {

// A scheduler's warning that a job's time is up: SIGTERM or SIGUSR1. The run
// finishes the step it is in, writes a checkpoint and stops; a second
// warning ends the program at once.

// Installs the handlers of SIGTERM and SIGUSR1 and forgets any earlier
// request. The first signal records its number; a second one ends the
// program at once with exit status 128 + its number (_exit: nothing more is
// written, the last complete checkpoint stays as it was).
void watchStopSignals();

// The number of the first stop signal received since watchStopSignals, or 0.
int stopSignalReceived();

// "SIGTERM", "SIGUSR1", or "a signal" for any other number.
const char* signalName(int signal);

}  // namespace plasmabox
