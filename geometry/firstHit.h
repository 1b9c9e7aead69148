#pragma once

#include <cstdint>
#include <limits>
#include <optional>

#include "geometry/RayQuery.h"
#include "geometry/SceneTriangles.h"
#include "geometry/TriangleTree.h"

namespace plasmabox {

// ---- On any tree: the caller's leaf lambda tests the item in one slot. ----

// The first item a ray meets in a tree: its slot and parameter (internal units
// of the query: multiply by q.t_scale for the caller's). slot < 0: none.
struct TreeHit {
  int32_t slot = -1;
  double t = 0.0;
};

// Box test of one node against the ray clipped to [0, limit]; enter is where
// the clipped ray enters the widened box.
inline bool rayEntersNode(const RayQuery& q, const TreeNode& node, double limit, double& enter) {
  double exit;
  slabRange(q, node.lo, node.hi, enter, exit);
  enter = enter > 0.0 ? enter : 0.0;
  exit = exit < limit ? exit : limit;
  return enter <= exit;
}

// First hit of query q among the tree's items. leaf(slot) returns the
// parameter at which the ray meets the item in that slot, negative for none;
// it must depend only on the ray and the item, and its hits must lie where
// the ray crosses the item's box widened by q.pad (watertightHit does both).
// Nearer children are visited first and subtrees beyond the best hit so far
// are skipped. Ties in the parameter go to the item built from the lowest
// index (tree.order), so the answer is exactly that of a scan of all items in
// index order, whatever the tree's shape. Allocation-free (fixed stack),
// thread-safe for concurrent queries.
template <class Leaf>
TreeHit firstHitInTree(const TriangleTree& tree, const RayQuery& q, Leaf&& leaf) {
  TreeHit best;
  if (!q.valid || tree.nodes.empty()) return best;
  const TreeNode* nodes = tree.nodes.data();
  const uint32_t* order = tree.order.data();
  double limit = q.t_max;
  uint32_t best_rank = 0;
  struct Pending {
    int32_t node;
    double enter;
  };
  Pending stack[TREE_MAX_DEPTH];
  int top = 0;
  double enter;
  if (!rayEntersNode(q, nodes[0], limit, enter)) return best;
  int32_t at = 0;
  for (;;) {
    const TreeNode& n = nodes[at];
    if (n.count > 0) {
      for (int32_t s = n.first, end = n.first + n.count; s < end; ++s) {
        const double t = leaf(s);
        if (!(t >= 0.0) || t > limit) continue;
        if (t == limit && best.slot >= 0 && order[s] > best_rank) continue;
        best = {s, t};
        limit = t;
        best_rank = order[s];
      }
    } else {
      const int32_t left = at + 1, right = n.first;
      double enter_left, enter_right;
      const bool hit_left = rayEntersNode(q, nodes[left], limit, enter_left);
      const bool hit_right = rayEntersNode(q, nodes[right], limit, enter_right);
      if (hit_left && hit_right) {
        const bool right_first = enter_right < enter_left;
        stack[top++] = right_first ? Pending{left, enter_left} : Pending{right, enter_right};
        at = right_first ? right : left;
        continue;
      }
      if (hit_left || hit_right) {
        at = hit_left ? left : right;
        continue;
      }
    }
    for (;;) {  // next pending subtree the best hit has not ruled out
      if (top == 0) return best;
      const Pending p = stack[--top];
      if (p.enter <= limit) {
        at = p.node;
        break;
      }
    }
  }
}

// Slot of some item the ray meets within [0, q.t_max], or -1: leaf as for
// firstHitInTree. Stops at the first hit found, so it costs less than
// firstHitInTree when all that matters is whether anything is in the way. It
// finds a hit exactly when firstHitInTree does.
template <class Leaf>
int32_t anyHitInTree(const TriangleTree& tree, const RayQuery& q, Leaf&& leaf) {
  if (!q.valid || tree.nodes.empty()) return -1;
  const TreeNode* nodes = tree.nodes.data();
  int32_t stack[TREE_MAX_DEPTH];
  int top = 0;
  double enter;
  if (!rayEntersNode(q, nodes[0], q.t_max, enter)) return -1;
  int32_t at = 0;
  for (;;) {
    const TreeNode& n = nodes[at];
    if (n.count > 0) {
      for (int32_t s = n.first, end = n.first + n.count; s < end; ++s) {
        const double t = leaf(s);
        if (t >= 0.0 && t <= q.t_max) return s;
      }
    } else {
      const int32_t left = at + 1, right = n.first;
      double enter_left, enter_right;
      const bool hit_left = rayEntersNode(q, nodes[left], q.t_max, enter_left);
      const bool hit_right = rayEntersNode(q, nodes[right], q.t_max, enter_right);
      if (hit_left && hit_right) {
        // Nearer first: a blocker near the origin ends the walk sooner.
        const bool right_first = enter_right < enter_left;
        stack[top++] = right_first ? left : right;
        at = right_first ? right : left;
        continue;
      }
      if (hit_left || hit_right) {
        at = hit_left ? left : right;
        continue;
      }
    }
    if (top == 0) return -1;
    at = stack[--top];
  }
}

// ---- On the triangles of all objects. ----

// Where a ray or segment first meets an object's surface.
struct SurfaceHit {
  int32_t object;    // index into the objects the scene was built from
  int32_t triangle;  // index into that object's triangles
  double t;          // parameter: the hit is near origin + t * direction (segment: p0 + t (p1 - p0))
  Vec3 point;        // m, the hit on the triangle (its barycentric point, so on the triangle to rounding)
};

// First triangle met by the segment from p0 to p1 (t in [0, 1]; a hit at p0
// itself counts). Exact and repeatable: the same answer as
// firstHitFullScan(scene, p0, p1 - p0, 1), the lowest (object, triangle) on a
// tie. A segment through an edge or corner shared by triangles meets one of
// them. Non-finite input or p0 == p1: no hit. Thread-safe, allocation-free.
std::optional<SurfaceHit> firstHitSegment(const SceneTriangles& scene, const Vec3& p0, const Vec3& p1);

// First triangle met by the ray from origin along direction (any non-zero
// length; t in units of it, from 0 to infinity). As firstHitSegment otherwise.
std::optional<SurfaceHit> firstHitRay(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction);

// True when the ray from origin along direction meets any triangle at a
// parameter in [0, t_max]; exactly when firstHitRay would find one there, but
// stops at the first triangle found (shadow rays). A ray leaving a surface
// should start surfaceOffset(scene) above it (see SceneTriangles.h).
bool anyHitRay(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction,
               double t_max = std::numeric_limits<double>::infinity());

// The reference the tree is checked against: every triangle tested in
// (object, triangle) order, the same hit test, parameters in [0, t_max].
std::optional<SurfaceHit> firstHitFullScan(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction,
                                           double t_max);

}  // namespace plasmabox
