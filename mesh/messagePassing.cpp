#include "mesh/messagePassing.h"

#include <mpi.h>

#include <stdexcept>
#include <vector>

namespace plasmabox {

namespace {

bool started_here = false;
std::vector<void (*)()>& shutdowns() {
  static std::vector<void (*)()> list;
  return list;
}

}  // namespace

void startMessagePassing() {
  int running = 0, finished = 0;
  MPI_Initialized(&running);
  MPI_Finalized(&finished);
  if (running) return;
  if (finished) throw std::runtime_error("the message-passing runtime (MPI) was stopped and cannot start again");
  if (MPI_Init(nullptr, nullptr) != MPI_SUCCESS)
    throw std::runtime_error("the message-passing runtime (MPI) needed by the multigrid solver did not start");
  started_here = true;
}

void beforeMessagePassingStops(void (*fn)()) { shutdowns().push_back(fn); }

void stopMessagePassing() {
  if (!started_here) return;
  for (auto it = shutdowns().rbegin(); it != shutdowns().rend(); ++it) (*it)();
  shutdowns().clear();
  int finished = 0;
  MPI_Finalized(&finished);
  if (!finished) MPI_Finalize();
  started_here = false;
}

}  // namespace plasmabox
