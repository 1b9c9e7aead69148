#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/NodeField.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The geometry of the uniform node mesh: ni x nj x nk nodes from x0 to xm,
// their spacing and their control volumes. Everything that converts between
// positions and node indices reads it; nothing here changes during a run once
// setExtents has been called.
struct Grid {
  int32_t ni = 0, nj = 0, nk = 0;  // node counts along x, y, z
  int32_t nn[3] = {0, 0, 0};       // the same counts as an array
  Vec3 x0;                         // m, position of node (0, 0, 0)
  Vec3 dh;                         // m, node spacing per axis
  Vec3 xm;                         // m, position of node (ni-1, nj-1, nk-1)
  Vec3 xc;                         // m, centre of the box
  Field node_vol;                  // m^3, control volume of each node

  Grid() = default;

  // Counts stored, extents zero, node_vol zero-filled. Throws std::bad_alloc
  // when the node count does not fit the address space.
  Grid(int32_t ni, int32_t nj, int32_t nk);

  // Stores the corners, derives dh = (xm - x0) / (n - 1) and xc, fills node_vol.
  void setExtents(const Vec3& x0, const Vec3& xm);

  // node_vol = dh.x * dh.y * dh.z, halved once per axis on which the node sits
  // on a wall: interior V, faces V/2, edges V/4, corners V/8.
  void computeNodeVolumes();

  // Logical coordinate of p: (p - x0) / dh per axis, in node spacings.
  Vec3 toLogical(const Vec3& p) const {
    return {(p.x - x0.x) / dh.x, (p.y - x0.y) / dh.y, (p.z - x0.z) / dh.z};
  }

  // True when x0 <= p < xm on every axis; false for any NaN coordinate.
  bool inBounds(const Vec3& p) const {
    return p.x >= x0.x && p.x < xm.x && p.y >= x0.y && p.y < xm.y && p.z >= x0.z && p.z < xm.z;
  }

  // m, position of node (i, j, k): each index times the spacing, plus the origin.
  Vec3 nodePosition(int32_t i, int32_t j, int32_t k) const {
    return {x0.x + static_cast<double>(i) * dh.x, x0.y + static_cast<double>(j) * dh.y,
            x0.z + static_cast<double>(k) * dh.z};
  }

  std::size_t nodeCount() const { return node_vol.size(); }
};

}  // namespace plasmabox
