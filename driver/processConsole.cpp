#include "driver/processConsole.h"

#include <mpi.h>

#include <iostream>
#include <new>
#include <streambuf>
#include <string>

namespace plasmabox {

namespace {

std::streambuf* error_stream = nullptr;  // standard error's buffer, kept while it is silenced

}  // namespace

std::string failureMessage(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return "out of memory (std::bad_alloc): the mesh or the particle count is too large";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown error";
  }
}

void printOnFirstProcessOnly(int rank) {
  if (rank == 0 || error_stream) return;
  std::cout.rdbuf(nullptr);  // output to a stream without buffer is dropped
  error_stream = std::cerr.rdbuf(nullptr);
}

void printFailure(const std::string& message) {
  if (error_stream) std::cerr.rdbuf(error_stream);
  std::cerr.clear();
  std::cout.clear();
  std::cout.flush();
  std::cerr << message << std::endl;
}

void stopOnAnyFailure(const Decomposition& part, std::exception_ptr failure) {
  if (!part.distributed()) {
    if (failure) std::rethrow_exception(failure);
    return;
  }
  const int mine = failure ? part.rank : part.size;
  int first = part.size;
  MPI_Allreduce(&mine, &first, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (first == part.size) return;
  if (first == part.rank) printFailure(failureMessage(failure));
  throw RunStopped();
}

}  // namespace plasmabox
