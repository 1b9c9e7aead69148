#include <omp.h>

#include <exception>
#include <string>
#include <vector>

#include "driver/processConsole.h"
#include "driver/simulation.h"
#include "mesh/messagePassing.h"

// The one place that turns an input error into a message and exit status 1,
// so a bad argument or geometry file never ends the run with an abort.
namespace {

// Stops the message-passing runtime on every way out of main, if a multigrid
// solve started it.
struct MessagePassingStop {
  ~MessagePassingStop() { plasmabox::stopMessagePassing(); }
};

}  // namespace

int main(int argc, char** argv) {
  // Every region runs the team the driver chose; the runtime must not shrink
  // it by the load average (on a busy machine that meant one thread).
  omp_set_dynamic(0);
  const MessagePassingStop stop;
  bool several = false;  // processes started together by mpirun
  try {
    const plasmabox::ProcessPlace place = plasmabox::joinProcesses();
    several = place.size > 1;
    plasmabox::printOnFirstProcessOnly(place.rank);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + (argc > 0 ? argc : 0));
    return plasmabox::runSimulation(args);
  } catch (const plasmabox::RunStopped&) {
    return 1;  // every process knows, and the message is out
  } catch (...) {
    plasmabox::printFailure(plasmabox::failureMessage(std::current_exception()));
  }
  // A failure of this process alone during the run: the others would wait
  // for it for ever in their next exchange.
  if (several) plasmabox::abortProcesses(1);
  return 1;
}
