#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "mesh/Vec3.h"

namespace plasmabox {

// Axis-aligned box, lo <= hi component by component (metres).
struct AxisBox {
  Vec3 lo;
  Vec3 hi;
};

// One node of a TriangleTree. Bounds are floats rounded outwards from the
// double boxes below the node, which halves the tree's memory and still holds
// every item's box.
struct TreeNode {
  float lo[3];
  float hi[3];
  int32_t first;  // leaf: first slot; inner node: index of the second child
  int32_t count;  // leaf: number of slots (> 0); inner node: 0 (first child is the next node)
};

// Bounding-volume hierarchy over items known only by their boxes and centres:
// the tree never sees a triangle. Leaves hold runs of consecutive slots;
// `order` tells which item sits in each slot, so a caller can store its items
// in slot order and read a leaf's items contiguously.
struct TriangleTree {
  std::vector<TreeNode> nodes;  // depth first, root at 0; empty when there are no items
  std::vector<uint32_t> order;  // slot -> index of the item in the spans the tree was built from
};

// Deepest tree a traversal stack must hold: surface-area splits stop at depth
// 24, median splits below halve the count, so 24 + 32 levels hold any tree.
inline constexpr int TREE_MAX_DEPTH = 64;

// Builds the hierarchy over items 0 .. n-1 with boxes[i] and centres[i] (the
// point splits sort by, normally the box or triangle centre). Splits by the
// surface-area heuristic over 16 bins near the root, by median deeper down; a
// leaf holds at most 8 items. Deterministic: the same input gives the same
// tree. Cost O(n log n), done once at set-up.
// Throws std::invalid_argument when the spans differ in length, when there
// are more than 2^31 - 1 items, or when a box or centre is not finite (the
// message names the item).
TriangleTree buildTriangleTree(std::span<const AxisBox> boxes, std::span<const Vec3> centres);

}  // namespace plasmabox
