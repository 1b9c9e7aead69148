#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "geometry/ClearCells.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The mesh's cells continued past the mesh: cell c along axis a spans
// x0 + c dh .. x0 + (c + 1) dh, for any integer c. Each cell splits into
// CLEAR_SPLIT parts per axis, as in ClearCells.
struct CellLattice {
  Vec3 x0, dh;  // m

  // A cell index at or below the lowest cell whose box, widened by pad (m),
  // may reach coordinate x; as a double (it may be huge).
  double firstCell(int a, double x, double pad) const { return std::floor((x - pad - x0[a]) / dh[a]) - 1.0; }
  // A cell index at or above the highest such cell.
  double lastCell(int a, double x, double pad) const { return std::floor((x + pad - x0[a]) / dh[a]) + 1.0; }

  // Box [lo, hi] (m) of cell c, or of its part p when p[a] >= 0 (0 to
  // CLEAR_SPLIT - 1 per axis), widened by pad on every side.
  void box(const int64_t c[3], const int p[3], const Vec3& pad, Vec3& lo, Vec3& hi) const {
    for (int a = 0; a < 3; ++a) {
      const double from = p[a] < 0 ? static_cast<double>(c[a]) : static_cast<double>(c[a]) + p[a] / double(CLEAR_SPLIT);
      const double to = p[a] < 0 ? from + 1.0 : from + 1.0 / CLEAR_SPLIT;
      lo[a] = x0[a] + from * dh[a] - pad[a];
      hi[a] = x0[a] + to * dh[a] + pad[a];
    }
  }
};

// A box of n[0] x n[1] x n[2] lattice cells from cell lo, numbered k fastest.
struct CellRegion {
  int64_t lo[3] = {0, 0, 0};
  int64_t n[3] = {0, 0, 0};

  std::size_t count() const { return static_cast<std::size_t>(n[0] * n[1] * n[2]); }
  // Number of the cell at region coordinates (i, j, k).
  std::size_t at(int64_t i, int64_t j, int64_t k) const { return static_cast<std::size_t>((i * n[1] + j) * n[2] + k); }
  // Lattice cell of region cell number `cell`.
  void cellOf(std::size_t cell, int64_t c[3]) const {
    const auto q = static_cast<int64_t>(cell);
    c[0] = lo[0] + q / (n[1] * n[2]);
    c[1] = lo[1] + q / n[2] % n[1];
    c[2] = lo[2] + q % n[2];
  }

  // Region coordinates from[a] .. to[a] (inclusive) of the cells that may
  // meet [box_lo, box_hi] widened by pad; false when there are none.
  bool cellsNear(const CellLattice& l, const Vec3& box_lo, const Vec3& box_hi, const Vec3& pad, int64_t from[3],
                 int64_t to[3]) const {
    for (int a = 0; a < 3; ++a) {
      const double f = std::fmax(l.firstCell(a, box_lo[a], pad[a]) - static_cast<double>(lo[a]), 0.0);
      const double t = std::fmin(l.lastCell(a, box_hi[a], pad[a]) - static_cast<double>(lo[a]),
                                 static_cast<double>(n[a] - 1));
      if (!(f <= t)) return false;  // also NaN
      from[a] = static_cast<int64_t>(f);
      to[a] = static_cast<int64_t>(t);
    }
    return true;
  }
};

}  // namespace plasmabox
