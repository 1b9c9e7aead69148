#pragma once
// A folder every process of the run names alike, made (and removed) by process 0.
#include <mpi.h>

#include <filesystem>
#include <optional>
#include <string>

#include "mesh/messagePassing.h"
#include "support/run_program.h"

namespace plasmabox {

struct SharedFolder {
  std::optional<TempFolder> made;
  std::filesystem::path path;
  explicit SharedFolder(const std::string& name) {
    const ProcessPlace p = joinProcesses();
    std::string text;
    if (p.rank == 0) made.emplace(name), text = made->path.string();
    if (p.size > 1) {
      int length = static_cast<int>(text.size());
      MPI_Bcast(&length, 1, MPI_INT, 0, MPI_COMM_WORLD);
      text.resize(static_cast<std::size_t>(length));
      MPI_Bcast(text.data(), length, MPI_CHAR, 0, MPI_COMM_WORLD);
    }
    path = text;
  }
  ~SharedFolder() {
    if (joinProcesses().size > 1) MPI_Barrier(MPI_COMM_WORLD);  // nobody writes into it any more
  }
};

}  // namespace plasmabox
