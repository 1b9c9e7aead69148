#include "solver/solverSupport.h"

#include <stdexcept>
#include <string>

namespace plasmabox {

int32_t checkedUnknownCount(const Grid& grid, int32_t min_nodes, const char* who) {
  const int32_t counts[3] = {grid.ni, grid.nj, grid.nk};
  const char axis[3] = {'i', 'j', 'k'};
  for (int d = 0; d < 3; ++d)
    if (counts[d] < min_nodes)
      throw std::invalid_argument(std::string(who) + ": needs at least " + std::to_string(min_nodes) +
                                  " nodes along " + axis[d] + ", the mesh has " +
                                  std::to_string(counts[d]));
  // Each factor is at least 1 and below 2^31, so the partial products fit 64 bits.
  const int64_t nij = static_cast<int64_t>(grid.ni) * grid.nj;
  const int64_t nu = nij > INT32_MAX ? nij : nij * grid.nk;
  if (nu > INT32_MAX)
    throw std::out_of_range(std::string(who) + ": mesh of " + std::to_string(nu) +
                            " nodes exceeds the 32-bit unknown numbering");
  return static_cast<int32_t>(nu);
}

}  // namespace plasmabox
