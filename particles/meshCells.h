#pragma once

#include <vector>

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// True when a particle at p (metres) may live on the mesh: x0 <= p < xm on every
// axis, and its logical coordinate, computed exactly as gather and scatter will
// compute it, lies below the last node on every axis.
//
// The second test matters only within rounding of xm: on [0, 1] with four nodes
// the position just below 1 maps to logical coordinate 3.0, the last node, whose
// cell would reach past the end of the field. Such a particle is treated as having
// left the mesh, so every stored particle can be gathered and scattered without
// bounds checks.
inline bool insideMeshCells(const Grid& grid, const Vec3& p) {
  if (!grid.inBounds(p)) return false;
  const Vec3 l = grid.toLogical(p);
  return l.x < grid.ni - 1 && l.y < grid.nj - 1 && l.z < grid.nk - 1;
}

// The same test as insideMeshCells as a plain interval per axis, for the push,
// which tests every particle every step: lo <= p <= hi on every axis.
struct MeshCellLimits {
  Vec3 lo;  // m, x0
  Vec3 hi;  // m, largest coordinate that passes insideMeshCells; NaN when none does
};

// Limits equal to insideMeshCells on grid: the logical coordinate never
// decreases as a coordinate grows, so the positions that pass form an interval
// per axis, whose upper end is found by bisection over the doubles below xm.
MeshCellLimits meshCellLimits(const Grid& grid);

inline bool insideLimits(const MeshCellLimits& m, const Vec3& p) {
  // Written so that a NaN coordinate or a NaN limit fails.
  return p.x >= m.lo.x && p.x <= m.hi.x && p.y >= m.lo.y && p.y <= m.hi.y && p.z >= m.lo.z && p.z <= m.hi.z;
}

// Where along x the particles of each process of a distributed run lie: a
// particle belongs to the process owning its cell along x, the whole part of
// (x - x0) * inv_dh (computed as Grid::toLogical computes it, plus i0: the value
// every process's gather works with). That coordinate never decreases as x
// grows, so each process's particles fill one interval of x:
// starts[r] <= x < starts[r + 1], starts[r] the smallest coordinate of the
// first cell of process r, found by bisection over the doubles as the limits
// above. starts[0] = -inf and starts[size] = +inf: a particle beyond a wall of
// the box along x is the first or last process's to discard. size + 1
// entries; any process's grid of the run gives the same values (they depend
// on the whole box only). NaN throughout when the extents are not set.
std::vector<double> slabStarts(const Grid& grid, const Decomposition& part);

// The process whose cells hold coordinate x (m), for starts from slabStarts.
// A NaN coordinate gives the last process.
int ownerOfPosition(const std::vector<double>& starts, double x);

// Whether process rank's cells hold coordinate x; false for NaN.
inline bool ownsPosition(const std::vector<double>& starts, int rank, double x) {
  const auto r = static_cast<std::size_t>(rank);
  return x >= starts[r] && x < starts[r + 1];
}

}  // namespace plasmabox
