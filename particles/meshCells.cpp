#include "particles/meshCells.h"

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

// Largest c with x0 <= c < xm and (c - x0) / dh < n - 1 (the same arithmetic as
// Grid::toLogical), or NaN when no coordinate qualifies.
double upperLimit(double x0, double xm, double dh, int n) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (!(x0 < xm)) return nan;  // empty, inverted or NaN extent: inBounds fails everywhere
  const double last = n - 1.0;
  auto passes = [&](double c) { return (c - x0) / dh < last; };
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
  for (int d = 0; d < 3; ++d) m.hi[d] = upperLimit(grid.x0[d], grid.xm[d], grid.dh[d], whole[d]);
  return m;
}

}  // namespace plasmabox
