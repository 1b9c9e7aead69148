#include "mesh/Decomposition.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace plasmabox {

int Decomposition::ownerOfCell(int32_t c) const {
  // first_plane rises; the owner is the last process whose first plane is at or below c.
  const auto above = std::upper_bound(first_plane.begin() + 1, first_plane.end() - 1, c);
  return static_cast<int>(above - (first_plane.begin() + 1));
}

Decomposition wholeMesh(int32_t ni) { return Decomposition{0, 1, {0, ni}}; }

Decomposition splitIntoSlabs(int32_t ni, int rank, int size) {
  if (size < 1 || rank < 0 || rank >= size) throw std::runtime_error("invalid process number " + std::to_string(rank));
  if (ni < 2 * static_cast<int64_t>(size))
    throw std::runtime_error(std::to_string(size) + " processes need at least " + std::to_string(2 * int64_t{size}) +
                             " nodes along x (argument 1 is " + std::to_string(ni) +
                             "): each process owns whole planes of nodes, at least two");
  Decomposition d{rank, size, {}};
  d.first_plane.resize(static_cast<std::size_t>(size) + 1);
  const int32_t base = ni / size, extra = ni % size;
  int32_t at = 0;
  for (int r = 0; r < size; ++r) {
    d.first_plane[static_cast<std::size_t>(r)] = at;
    at += base + (r < extra ? 1 : 0);
  }
  d.first_plane[static_cast<std::size_t>(size)] = ni;
  return d;
}

}  // namespace plasmabox
