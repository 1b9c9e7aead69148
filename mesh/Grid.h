#pragma once

#include <cstddef>
#include <cstdint>

#include "mesh/NodeField.h"
#include "mesh/Vec3.h"

namespace plasmabox {

// The geometry of the uniform node mesh: gni x nj x nk nodes from x0 to xm,
// their spacing and their control volumes. Everything that converts between
// positions and node indices reads it; nothing here changes during a run once
// setExtents has been called.
//
// A process of a distributed run stores only a slab of planes along x (see
// mesh/Decomposition.h): local plane i is global plane i0 + i, and ni counts
// the local planes. Positions, extents and spacing stay those of the whole
// box, so a particle's logical coordinate is the whole mesh's minus i0, exactly
// (the subtraction of a whole number below 2^31 is exact here), and a
// position's cell and weights are the same on any number of processes. On one
// process i0 = 0 and gni = ni.
struct Grid {
  int32_t ni = 0, nj = 0, nk = 0;  // node counts along x, y, z stored here
  int32_t nn[3] = {0, 0, 0};       // the same counts as an array
  int32_t i0 = 0;                  // global index of local plane 0
  int32_t gni = 0;                 // node count along x of the whole mesh
  Vec3 x0;                         // m, position of global node (0, 0, 0)
  Vec3 dh;                         // m, node spacing per axis
  Vec3 inv_dh;                     // 1/m, 1 / dh per axis: positions become node coordinates by a product
  Vec3 xm;                         // m, position of global node (gni-1, nj-1, nk-1)
  Vec3 xc;                         // m, centre of the box
  Field node_vol;                  // m^3, control volume of each node

  Grid() = default;

  // Counts stored, extents zero, node_vol zero-filled. Throws std::bad_alloc
  // when the node count does not fit the address space.
  Grid(int32_t ni, int32_t nj, int32_t nk);

  // The slab of ni planes starting at global plane i0 of a mesh of gni planes.
  Grid(int32_t ni, int32_t nj, int32_t nk, int32_t i0, int32_t gni);

  // The whole mesh's geometry without node volumes, for the set-up work that
  // every process does on the whole box (the objects' cell classification).
  static Grid lattice(int32_t ni, int32_t nj, int32_t nk, const Vec3& x0, const Vec3& xm);

  // Whether local plane 0 / ni - 1 is a wall of the box rather than a ghost
  // plane copied from a neighbour process.
  bool wallBelow() const { return i0 == 0; }
  bool wallAbove() const { return i0 + ni == gni; }
  // The local planes this process owns: [ownedBegin, ownedEnd).
  int32_t ownedBegin() const { return wallBelow() ? 0 : 1; }
  int32_t ownedEnd() const { return wallAbove() ? ni : ni - 1; }

  // Stores the corners, derives dh = (xm - x0) / (n - 1), inv_dh and xc, fills node_vol.
  void setExtents(const Vec3& x0, const Vec3& xm);

  // node_vol = dh.x * dh.y * dh.z, halved once per axis on which the node sits
  // on a wall of the box: interior V, faces V/2, edges V/4, corners V/8.
  void computeNodeVolumes();

  // Logical coordinate of p in the local nodes: (p - x0) * inv_dh per axis,
  // in node spacings, less i0 along x. Every conversion of a particle's
  // position goes through here (a product, not a division: this runs twice
  // per particle and step), so gather, scatter and the cell limits agree.
  Vec3 toLogical(const Vec3& p) const {
    return {(p.x - x0.x) * inv_dh.x - static_cast<double>(i0), (p.y - x0.y) * inv_dh.y, (p.z - x0.z) * inv_dh.z};
  }

  // True when x0 <= p < xm on every axis; false for any NaN coordinate.
  bool inBounds(const Vec3& p) const {
    return p.x >= x0.x && p.x < xm.x && p.y >= x0.y && p.y < xm.y && p.z >= x0.z && p.z < xm.z;
  }

  // m, position of local node (i, j, k): each global index times the
  // spacing, plus the origin.
  Vec3 nodePosition(int32_t i, int32_t j, int32_t k) const {
    return {x0.x + static_cast<double>(i0 + i) * dh.x, x0.y + static_cast<double>(j) * dh.y,
            x0.z + static_cast<double>(k) * dh.z};
  }

  std::size_t nodeCount() const { return node_vol.size(); }

  // Nodes of the whole mesh, over every process: what a root-mean-square
  // residual divides by.
  double wholeNodeCount() const {
    return static_cast<double>(gni) * static_cast<double>(nj) * static_cast<double>(nk);
  }
};

}  // namespace plasmabox
