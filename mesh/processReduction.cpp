#include "mesh/processReduction.h"

#include <mpi.h>

#include <algorithm>
#include <cstddef>

namespace plasmabox {

namespace {

// Every process's values, rank after rank.
template <class T>
std::vector<T> gatherAll(const Decomposition& part, const T* values, int count, MPI_Datatype type) {
  std::vector<T> all(static_cast<std::size_t>(count) * static_cast<std::size_t>(part.size));
  MPI_Allgather(values, count, type, all.data(), count, type, MPI_COMM_WORLD);
  return all;
}

}  // namespace

double sumOverProcesses(const Decomposition& part, double value) {
  if (!part.distributed()) return value;
  std::vector<double> v{value};
  sumOverProcesses(part, v);
  return v[0];
}

int64_t sumOverProcesses(const Decomposition& part, int64_t value) {
  if (!part.distributed()) return value;
  int64_t total = 0;
  MPI_Allreduce(&value, &total, 1, MPI_INT64_T, MPI_SUM, MPI_COMM_WORLD);  // integers: any order gives the same sum
  return total;
}

void sumOverProcesses(const Decomposition& part, std::vector<double>& values) {
  if (!part.distributed() || values.empty()) return;
  const int n = static_cast<int>(values.size());
  const std::vector<double> all = gatherAll(part, values.data(), n, MPI_DOUBLE);
  for (int q = 0; q < n; ++q) {
    double s = all[static_cast<std::size_t>(q)];
    for (int r = 1; r < part.size; ++r) s += all[static_cast<std::size_t>(r) * static_cast<std::size_t>(n) + q];
    values[static_cast<std::size_t>(q)] = s;
  }
}

double minOverProcesses(const Decomposition& part, double value) {
  if (!part.distributed()) return value;
  const std::vector<double> all = gatherAll(part, &value, 1, MPI_DOUBLE);
  return *std::min_element(all.begin(), all.end());
}

double maxOverProcesses(const Decomposition& part, double value) {
  if (!part.distributed()) return value;
  const std::vector<double> all = gatherAll(part, &value, 1, MPI_DOUBLE);
  return *std::max_element(all.begin(), all.end());
}

std::vector<int64_t> valuesOfAllProcesses(const Decomposition& part, int64_t value) {
  if (!part.distributed()) return {value};
  return gatherAll(part, &value, 1, MPI_INT64_T);
}

bool anyProcess(const Decomposition& part, bool flag) {
  if (!part.distributed()) return flag;
  int mine = flag ? 1 : 0, any = 0;
  MPI_Allreduce(&mine, &any, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
  return any != 0;
}

}  // namespace plasmabox
