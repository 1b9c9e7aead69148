#include "geometry/buildObjectBvh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "geometry/floatBounds.h"

namespace plasmabox {

namespace {

constexpr int LEAF_SIZE = 4;  // triangles per leaf
constexpr double EPS = std::numeric_limits<double>::epsilon();
constexpr double INF = std::numeric_limits<double>::infinity();

// A triangle's padded bounds in a direction's frame, and its centre for splitting.
struct Item {
  double lo[2], hi[2];  // u and w ranges
  double along_max;
  double centre[3];     // u, w, along
  uint32_t id;
};

double norm(const Vec3& v) { return std::sqrt(dot(v, v)); }

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// How far (m) the point the hit test effectively finds may lie from the exact
// triangle and from the exact ray, for a triangle that passes the parallel test.
//
// The test solves for (u, v, t) by Cramer's rule. Its rounding errors in the
// numerators are a few ulps of |s| |d| |e| (s = origin - a, |s| <= the box
// diagonal because the origin passed the box test); dividing by the determinant
// turns them into a distance of order eps (|s| + |e|) |e|^2 / |det|, largest for
// rays that graze the triangle. The second term covers the rounding of the
// edges, the origin offset and the frame coordinates. The factors 64 and 8 are
// several times the worst-case ulp counts. Returns infinity when the computed
// determinant is too inexact to bound the error.
double hitPadding(const Triangle& t, const Vec3& d, double det, double box_diagonal, double max_coordinate) {
  const double e1 = norm(t.b - t.a);
  const double e2 = norm(t.c - t.a);
  const double e = e1 + e2;
  const double det_error = 16.0 * EPS * e1 * norm(d) * e2;
  if (!(2.0 * det_error < std::fabs(det))) return INF;
  const double det_low = std::fabs(det) - det_error;
  const double s = box_diagonal;
  return 64.0 * EPS * (s + e) * e * e / det_low + 8.0 * EPS * (e + s + max_coordinate);
}

// Builds the subtree over items[begin, end) and returns its node index.
int32_t buildNode(DirectionBvh& bvh, std::vector<Item>& items, std::size_t begin, std::size_t end) {
  double lo[2] = {INF, INF}, hi[2] = {-INF, -INF}, along = -INF;
  double c_lo[3] = {INF, INF, INF}, c_hi[3] = {-INF, -INF, -INF};
  for (std::size_t n = begin; n < end; ++n) {
    const Item& it = items[n];
    for (int a = 0; a < 2; ++a) {
      lo[a] = std::min(lo[a], it.lo[a]);
      hi[a] = std::max(hi[a], it.hi[a]);
    }
    along = std::max(along, it.along_max);
    for (int a = 0; a < 3; ++a) {
      c_lo[a] = std::min(c_lo[a], it.centre[a]);
      c_hi[a] = std::max(c_hi[a], it.centre[a]);
    }
  }
  const int32_t index = static_cast<int32_t>(bvh.nodes.size());
  bvh.nodes.push_back({floatBelow(lo[0]), floatAbove(hi[0]), floatBelow(lo[1]), floatAbove(hi[1]),
                       floatAbove(along), 0, 0});
  const std::size_t count = end - begin;
  if (count <= LEAF_SIZE) {
    bvh.nodes[static_cast<std::size_t>(index)].first = static_cast<int32_t>(bvh.triangle_ids.size());
    bvh.nodes[static_cast<std::size_t>(index)].count = static_cast<int32_t>(count);
    for (std::size_t n = begin; n < end; ++n) bvh.triangle_ids.push_back(items[n].id);
    return index;
  }
  // Median split on the widest spread of centres: halves the count at every
  // level, so the depth stays below log2(n) + 1 whatever the mesh looks like.
  int axis = 0;
  for (int a = 1; a < 3; ++a)
    if (c_hi[a] - c_lo[a] > c_hi[axis] - c_lo[axis]) axis = a;
  const std::size_t mid = begin + count / 2;
  std::nth_element(items.begin() + static_cast<std::ptrdiff_t>(begin), items.begin() + static_cast<std::ptrdiff_t>(mid),
                   items.begin() + static_cast<std::ptrdiff_t>(end),
                   [axis](const Item& x, const Item& y) { return x.centre[axis] < y.centre[axis]; });
  buildNode(bvh, items, begin, mid);  // lands at index + 1
  const int32_t second = buildNode(bvh, items, mid, end);
  bvh.nodes[static_cast<std::size_t>(index)].first = second;
  return index;
}

DirectionBvh buildDirection(const std::vector<Triangle>& triangles, int k, double box_diagonal,
                            double max_coordinate) {
  const RayFrame frame = rayFrame(k);
  DirectionBvh bvh;
  std::vector<Item> items;
  items.reserve(triangles.size());
  for (std::size_t n = 0; n < triangles.size(); ++n) {
    const Triangle& t = triangles[n];
    const uint32_t id = static_cast<uint32_t>(n);
    if (!finite(t.a) || !finite(t.b) || !finite(t.c)) {
      bvh.unbounded_ids.push_back(id);
      continue;
    }
    // The same bits the hit test computes: below the tolerance it never hits.
    const double det = rayTriangleDeterminant(t.a, t.b, t.c, frame.d);
    if (std::fabs(det) < RAY_PARALLEL_TOLERANCE) continue;
    const double pad = hitPadding(t, frame.d, det, box_diagonal, max_coordinate);
    if (!std::isfinite(pad)) {
      bvh.unbounded_ids.push_back(id);
      continue;
    }
    const Vec3 corner[3] = {t.a, t.b, t.c};
    Item it{{INF, INF}, {-INF, -INF}, -INF, {0, 0, 0}, id};
    for (const Vec3& x : corner) {
      const double coord[3] = {frameU(frame, x), frameW(frame, x), frameAlong(frame, x)};
      for (int a = 0; a < 2; ++a) {
        it.lo[a] = std::min(it.lo[a], coord[a]);
        it.hi[a] = std::max(it.hi[a], coord[a]);
      }
      it.along_max = std::max(it.along_max, coord[2]);
      for (int a = 0; a < 3; ++a) it.centre[a] += coord[a] / 3.0;
    }
    for (int a = 0; a < 2; ++a) {
      it.lo[a] -= pad;
      it.hi[a] += pad;
    }
    it.along_max += pad;
    items.push_back(it);
  }
  if (!items.empty()) {
    bvh.nodes.reserve(2 * items.size() / LEAF_SIZE + 2);
    bvh.triangle_ids.reserve(items.size());
    buildNode(bvh, items, 0, items.size());
  }
  return bvh;
}

}  // namespace

ObjectBvh buildObjectBvh(const AmfObject& object) {
  ObjectBvh result;
  result.triangle_count = object.triangles.size();
  result.bbox_min = object.bbox_min;
  result.bbox_max = object.bbox_max;
  // |origin - corner| must stay below box_diagonal: the origin lies in the
  // object box (the query tests it first) and, for records not made by the
  // reader, the corners might not, so the box is widened to hold them.
  Vec3 lo = object.bbox_min, hi = object.bbox_max;
  for (const Triangle& t : object.triangles)
    for (const Vec3* x : {&t.a, &t.b, &t.c})
      for (int a = 0; a < 3; ++a) {
        lo[a] = std::min(lo[a], (*x)[a]);
        hi[a] = std::max(hi[a], (*x)[a]);
      }
  const double box_diagonal = norm(hi - lo);
  Vec3 largest;
  for (int a = 0; a < 3; ++a) largest[a] = std::max(std::fabs(lo[a]), std::fabs(hi[a]));
  const double max_coordinate = norm(largest);
  // The padding bounds rest on a finite box; without one the query scans all
  // triangles.
  if (!finite(lo) || !finite(hi) || !std::isfinite(box_diagonal) || !std::isfinite(max_coordinate) ||
      object.triangles.size() > INT32_MAX)
    return result;
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k)
    result.directions[static_cast<std::size_t>(k)] = buildDirection(object.triangles, k, box_diagonal, max_coordinate);
  result.usable = true;
  return result;
}

bool bvhMatches(const AmfObject& object) {
  const ObjectBvh& b = object.bvh;
  return b.usable && b.triangle_count == object.triangles.size() && b.bbox_min == object.bbox_min &&
         b.bbox_max == object.bbox_max;
}

}  // namespace plasmabox
