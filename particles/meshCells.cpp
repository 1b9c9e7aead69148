#include "particles/meshCells.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

namespace plasmabox {

namespace {

// Integer key that orders doubles like their values (-0 and +0 share key 0), so
// bisection over keys walks through the doubles one representable value at a time.
int64_t orderedKey(double x) {
  const auto bits = std::bit_cast<int64_t>(x);
  return bits >= 0 ? bits : -(bits & std::numeric_limits<int64_t>::max());
}

double fromOrderedKey(int64_t key) {
  return key >= 0 ? std::bit_cast<double>(key)
                  : std::bit_cast<double>(static_cast<int64_t>(static_cast<uint64_t>(-key) | (uint64_t{1} << 63)));
}

// Largest c with x0 <= c < xm and (c - x0) * inv_dh < n - 1 (the same
// arithmetic as Grid::toLogical), or NaN when no coordinate qualifies.
double upperLimit(double x0, double xm, double inv_dh, int n) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!(x0 < xm)) return nan;  // empty, inverted or NaN extent: inBounds fails everywhere
  const double last = n - 1.0;
  auto passes = [&](double c) { return (c - x0) * inv_dh < last; };
  const double top = std::nextafter(xm, x0);  // largest coordinate below xm
  if (passes(top)) return top;
  if (!passes(x0)) return nan;
  int64_t good = orderedKey(x0);  // passes
  int64_t bad = orderedKey(top);  // fails
  while (static_cast<uint64_t>(bad) - static_cast<uint64_t>(good) > 1) {
    const uint64_t half = (static_cast<uint64_t>(bad) - static_cast<uint64_t>(good)) / 2;
    const auto mid = static_cast<int64_t>(static_cast<uint64_t>(good) + half);
    if (passes(fromOrderedKey(mid)))
      good = mid;
    else
      bad = mid;
  }
  return fromOrderedKey(good);
}

}  // namespace

MeshCellLimits meshCellLimits(const Grid& grid) {
  MeshCellLimits m;
  m.lo = grid.x0;
  const int32_t whole[3] = {grid.gni, grid.nj, grid.nk};  // the whole box: leaving a slab is not leaving the mesh
  for (int d = 0; d < 3; ++d) m.hi[d] = upperLimit(grid.x0[d], grid.xm[d], grid.inv_dh[d], whole[d]);
  return m;
}

std::vector<double> slabStarts(const Grid& grid, const Decomposition& part) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> starts(static_cast<std::size_t>(part.size) + 1, inf);
  starts[0] = -inf;
  for (std::size_t r = 1; r < static_cast<std::size_t>(part.size); ++r) {
    // The largest coordinate whose cell lies below plane first_plane[r], then the next double.
    const double below = upperLimit(grid.x0.x, grid.xm.x, grid.inv_dh.x, part.first_plane[r] + 1);
    starts[r] = std::nextafter(below, inf);
  }
  return starts;
}

int ownerOfPosition(const std::vector<double>& starts, double x) {
  // The last process whose first coordinate is at or below x.
  const auto above = std::upper_bound(starts.begin() + 1, starts.end() - 1, x);
  return static_cast<int>(above - (starts.begin() + 1));
}

}  // namespace plasmabox
