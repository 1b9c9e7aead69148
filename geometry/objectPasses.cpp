#include "geometry/objectPasses.h"

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "geometry/containment.h"

namespace plasmabox {

namespace {

// The table entry of the object that contains p, or end() when p is in no
// object or in one the table does not name.
template <class Table>
typename Table::const_iterator containingEntry(std::span<const AmfObject> objects, const Table& table,
                                               const Vec3& p) {
  const int index = findContainingObjectIndex(objects, p);
  if (index < 0) return table.end();
  return table.find(objects[static_cast<std::size_t>(index)].name);
}

}  // namespace

// Each node is written by exactly one iteration, so the passes need no lock.

void amfread_voltage(World& world, std::span<const AmfObject> objects,
                     const std::map<std::string, double>& voltages, int threads) {
  std::cout << "amfread_voltage" << std::endl;
  const Grid& g = world.grid;
  const int32_t ni = g.ni, nj = g.nj, nk = g.nk;
#pragma omp parallel for schedule(static) num_threads(threads)
  for (int32_t i = 0; i < ni; ++i)
    for (int32_t j = 0; j < nj; ++j)
      for (int32_t k = 0; k < nk; ++k) {
        const auto entry = containingEntry(objects, voltages, g.nodePosition(i, j, k));
        if (entry == voltages.end()) continue;
        world.object_id(i, j, k) = 1;
        world.phi(i, j, k) = entry->second;
      }
  std::cout << std::endl;
}

void amfread_magvector(World& world, std::span<const AmfObject> objects,
                       const std::map<std::string, Vec3>& magnetisations, int threads) {
  std::cout << "amfread_magvector" << std::endl;
  const Grid& g = world.grid;
  const int32_t ni = g.ni, nj = g.nj, nk = g.nk;
  if (ni >= 1 && nj >= 1 && nk >= 1) {
    const int64_t plane = static_cast<int64_t>(nj) * nk;
    const int64_t total = static_cast<int64_t>(ni) * plane;
#pragma omp parallel for schedule(static) num_threads(threads)
    for (int64_t n = 0; n < total; ++n) {
      const int32_t i = static_cast<int32_t>(n / plane);
      const int32_t j = static_cast<int32_t>((n % plane) / nk);
      const int32_t k = static_cast<int32_t>(n % nk);
      const auto entry = containingEntry(objects, magnetisations, g.nodePosition(i, j, k));
      if (entry == magnetisations.end()) continue;
      world.M(i, j, k) = entry->second;
    }
  }
  std::cout << std::endl;
}

IntField objectNodeIndex(const Grid& grid, std::span<const AmfObject> objects, const std::vector<bool>& selected,
                         int threads) {
  IntField index(grid.ni, grid.nj, grid.nk);
  std::fill(index.data.begin(), index.data.end(), -1);
  const int32_t ni = grid.ni, nj = grid.nj, nk = grid.nk;
#pragma omp parallel for schedule(static) num_threads(threads)
  for (int32_t i = 0; i < ni; ++i)
    for (int32_t j = 0; j < nj; ++j)
      for (int32_t k = 0; k < nk; ++k) {
        const int o = findContainingObjectIndex(objects, grid.nodePosition(i, j, k));
        if (o >= 0 && static_cast<std::size_t>(o) < selected.size() && selected[static_cast<std::size_t>(o)])
          index(i, j, k) = o;
      }
  return index;
}

}  // namespace plasmabox
