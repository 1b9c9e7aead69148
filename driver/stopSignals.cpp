#include "driver/stopSignals.h"

#include <signal.h>
#include <unistd.h>

namespace plasmabox {

namespace {

// Written by the handler, read by the time loop: the only thing a handler
// may safely do is set a flag of this type.
volatile sig_atomic_t received = 0;

void onStopSignal(int signal) {
  if (received != 0) _exit(128 + signal);
  received = signal;
}

}  // namespace

void watchStopSignals() {
  received = 0;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Interrupted system calls (a write to a slow disk) resume: the step goes on as if nothing happened.
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGUSR1, &action, nullptr);
}

int stopSignalReceived() { return received; }

const char* signalName(int signal) {
  switch (signal) {
    case SIGTERM: return "SIGTERM";
    case SIGUSR1: return "SIGUSR1";
    default: return "a signal";
  }
}

}  // namespace plasmabox
