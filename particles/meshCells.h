#pragma once

#include "mesh/Vec3.h"
#include "mesh/Grid.h"

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

}  // namespace plasmabox
