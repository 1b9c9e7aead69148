#include "geometry/objectPasses.h"

#include <omp.h>

#include <algorithm>
#include <cstdint>
#include <iostream>

#include "geometry/containment.h"

namespace {

// m, position of node (i, j, k): each index times the spacing, plus the origin.
Vec3 nodePosition(const World& world, int32_t i, int32_t j, int32_t k) {
  return {world.x0.x + static_cast<double>(i) * world.dh.x, world.x0.y + static_cast<double>(j) * world.dh.y,
          world.x0.z + static_cast<double>(k) * world.dh.z};
}

// The table entry of the object that contains p, or end() when p is in no
// object or in one the table does not name.
template <class Table>
typename Table::const_iterator containingEntry(const World& world, const Table& table, const Vec3& p) {
  const int index = findContainingObjectIndex(world, p);
  if (index < 0) return table.end();
  return table.find(world.objects[static_cast<std::size_t>(index)].name);
}

// OpenMP takes only positive team sizes.
int teamSize(const World& world) { return std::max(1, static_cast<int>(world.num_threads)); }

}  // namespace

void amfread_voltage(World& world, const std::map<std::string, double>& voltages) {
  std::cout << "amfread_voltage" << std::endl;
  omp_set_num_threads(teamSize(world));
  const int32_t ni = world.ni, nj = world.nj, nk = world.nk;
#pragma omp parallel
  {
#pragma omp for schedule(static)
    for (int32_t i = 0; i < ni; ++i)
      for (int32_t j = 0; j < nj; ++j)
        for (int32_t k = 0; k < nk; ++k) {
          const auto entry = containingEntry(world, voltages, nodePosition(world, i, j, k));
          if (entry == voltages.end()) continue;
          // Nodes never share a field element; the lock only serialises writes.
#pragma omp critical
          {
            world.object_id(i, j, k) = 1;
            world.phi(i, j, k) = entry->second;
          }
        }
  }
  std::cout << std::endl;
}

void amfread_magvector(World& world, const std::map<std::string, Vec3>& magnetisations) {
  std::cout << "amfread_magvector" << std::endl;
  omp_set_num_threads(teamSize(world));
  const int32_t ni = world.ni, nj = world.nj, nk = world.nk;
  if (ni >= 1 && nj >= 1 && nk >= 1) {
    const int64_t plane = static_cast<int64_t>(nj) * nk;
    const int64_t total = static_cast<int64_t>(ni) * plane;
#pragma omp parallel for schedule(static)
    for (int64_t n = 0; n < total; ++n) {
      const int32_t i = static_cast<int32_t>(n / plane);
      const int32_t j = static_cast<int32_t>((n % plane) / nk);
      const int32_t k = static_cast<int32_t>(n % nk);
      const auto entry = containingEntry(world, magnetisations, nodePosition(world, i, j, k));
      if (entry == magnetisations.end()) continue;
#pragma omp critical
      { world.M(i, j, k) = entry->second; }
    }
  }
  std::cout << std::endl;
}
