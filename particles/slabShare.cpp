#include "particles/slabShare.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "particles/meshCells.h"

namespace plasmabox {

namespace {

// Fraction of the stretch [lo, hi] below x: 0 for -inf, 1 for +inf. A stretch
// of length 0 is below x when it lies below x.
double fractionBelow(double lo, double hi, double x) {
  const double inf = std::numeric_limits<double>::infinity();
  if (x == -inf || x == inf) return x > 0.0 ? 1.0 : 0.0;  // even for a stretch of infinite length
  if (!(hi > lo)) return x > lo ? 1.0 : 0.0;
  return std::clamp((x - lo) / (hi - lo), 0.0, 1.0);
}

}  // namespace

SlabShare slabShare(const Grid& grid, const Decomposition& part, double xa, double xb) {
  const std::vector<double> starts = slabStarts(grid, part);
  const auto r = static_cast<std::size_t>(part.rank);
  const double lo = std::min(xa, xb), hi = std::max(xa, xb);
  SlabShare s;
  s.lo = std::max(lo, starts[r]);
  s.hi = std::min(hi, starts[r + 1]);
  s.below = fractionBelow(lo, hi, starts[r]);
  s.above = fractionBelow(lo, hi, starts[r + 1]);
  s.next = starts[r + 1];
  s.last = std::nextafter(starts[r + 1], -std::numeric_limits<double>::infinity());
  return s;
}

}  // namespace plasmabox
