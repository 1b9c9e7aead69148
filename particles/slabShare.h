#pragma once

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"

namespace plasmabox {

// This process's part of a stretch of x from which particles are created
// (a box to load, a plane to inject through), in a distributed run: the
// coordinates its cells hold (see slabStarts). Every process computes the
// fractions from the same numbers, so one process's `above` is bitwise its
// upper neighbour's `below`, and the shares add up to the whole stretch.
struct SlabShare {
  double lo, hi;  // m, the part of the stretch in this process's cells: lo <= x < hi (empty when hi <= lo)
  double below;   // fraction of the stretch's length below this process's cells, 0 .. 1
  double above;   // fraction of the stretch's length below the next process's cells, below .. 1
  double next;    // m, first coordinate of the next process's cells (+inf on the last process)
  double last;    // m, largest coordinate of this process's cells

  double fraction() const { return above - below; }

  // The coordinate lo + u * (hi - lo) for a uniform draw u in [0, 1), kept
  // in this process's cells where rounding would carry it to the next one.
  double at(double u) const {
    const double x = lo + u * (hi - lo);
    return x < next ? x : last;
  }
};

// The share of the stretch from xa to xb (m, in either order) on grid, for
// this process of part. A stretch of length 0 lies wholly with the process
// whose cells hold it (fraction 1 there, 0 elsewhere).
SlabShare slabShare(const Grid& grid, const Decomposition& part, double xa, double xb);

}  // namespace plasmabox
