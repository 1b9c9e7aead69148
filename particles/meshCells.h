#pragma once

#include "mesh/Vec3.h"
#include "mesh/World.h"

// True when a particle at p (metres) may live on the mesh: x0 <= p < xm on every
// axis, and its logical coordinate, computed exactly as gather and scatter will
// compute it, lies below the last node on every axis.
//
// The second test matters only within rounding of xm: on [0, 1] with four nodes
// the position just below 1 maps to logical coordinate 3.0, the last node, whose
// cell would reach past the end of the field. Such a particle is treated as having
// left the mesh, so every stored particle can be gathered and scattered without
// bounds checks.
inline bool insideMeshCells(const World& world, const Vec3& p) {
  if (!world.inBounds(p)) return false;
  const Vec3 l = world.toLogical(p);
  return l.x < world.ni - 1 && l.y < world.nj - 1 && l.z < world.nk - 1;
}
