#pragma once

#include <algorithm>
#include <cstddef>
#include <vector>

#include "mesh/staticBlock.h"

namespace plasmabox {

// The parallel relaxation sweeps give each thread one contiguous block of the
// unknowns and update them in place. A neighbour in another thread's block is
// read with its value from before the sweep (a Jacobi read at the border, which
// Gauss-Seidel relaxation allows): each thread copies the values just outside
// its block before any thread starts, so the result depends on the team size
// but never on timing, and no value is read while another thread writes it.

// Reads straight from the unknowns: for nodes whose neighbours all lie in the block.
struct DirectRead {
  const double* x;
  double operator()(std::size_t n) const { return x[n]; }
};

// Reads through the copies for nodes near the block's ends.
struct BorderRead {
  const double* x;
  std::size_t begin, end;     // the block
  std::size_t below_start;    // first index copied below the block
  const double* below;        // copies of [below_start, begin)
  const double* above;        // copies of [end, end + width)
  double operator()(std::size_t n) const {
    if (n < begin) return below[n - below_start];
    if (n >= end) return above[n - end];
    return x[n];
  }
};

// Storage for the copies of a team: per thread, `width` values below and
// `width` above its block, width being the furthest any unknown reaches.
struct BorderCopies {
  std::vector<double> values;
  void reserveFor(int team, std::size_t width) {
    const std::size_t need = 2 * width * static_cast<std::size_t>(team);
    if (values.size() < need) values.resize(need);
  }
};

// Runs relax(read, lo, hi) over the block [begin, end) of thread t of a team
// sharing the unknowns [first, last) of the total stored ones (a process's own
// planes; the planes copied from neighbour processes are read, never relaxed),
// the parts within `width` of either end with a BorderRead and the middle with
// a DirectRead, in increasing order; copies the border values first and waits
// for the whole team before relaxing. Call from inside the parallel region.
template <class Relax>
void relaxBlockWithBorders(double* x, std::size_t first, std::size_t last, std::size_t total, std::size_t width,
                           int team, int t, BorderCopies& copies, Relax relax) {
  const IndexRange block = staticBlock(static_cast<int64_t>(last - first), team, t);
  const auto begin = first + static_cast<std::size_t>(block.begin), end = first + static_cast<std::size_t>(block.end);
  const std::size_t below_start = begin > width ? begin - width : 0;
  const std::size_t above_end = std::min(total, end + width);
  double* below = copies.values.data() + 2 * width * static_cast<std::size_t>(t);
  double* above = below + width;
  if (team > 1) {
    std::copy(x + below_start, x + begin, below);
    std::copy(x + end, x + above_end, above);
  }
#pragma omp barrier
  if (team == 1) {
    relax(DirectRead{x}, begin, end);
    return;
  }
  const BorderRead border{x, begin, end, below_start, below, above};
  const std::size_t inner_lo = std::min(begin + width, end);
  const std::size_t inner_hi = std::max(end > width ? end - width : 0, inner_lo);
  relax(border, begin, inner_lo);
  relax(DirectRead{x}, inner_lo, inner_hi);
  relax(border, inner_hi, end);
}

}  // namespace plasmabox
