#include "mesh/messagePassing.h"

#include <mpi.h>

#include <cstdlib>
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

ProcessPlace joinProcesses() {
  // Open MPI's launcher sets the first, PMIx-based and Hydra launchers the others.
  const bool launched =
      std::getenv("OMPI_COMM_WORLD_SIZE") || std::getenv("PMIX_RANK") || std::getenv("PMI_SIZE");
  if (!launched) return {};
  startMessagePassing();
  ProcessPlace place;
  MPI_Comm_rank(MPI_COMM_WORLD, &place.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &place.size);
  return place;
}

void abortProcesses(int status) {
  int running = 0, finished = 0;
  MPI_Initialized(&running);
  MPI_Finalized(&finished);
  if (running && !finished) MPI_Abort(MPI_COMM_WORLD, status);
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
