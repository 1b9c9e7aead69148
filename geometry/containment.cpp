#include "geometry/containment.h"

#include <cfloat>
#include <cmath>

#include "geometry/buildObjectBvh.h"
#include "geometry/rayHitsTriangle.h"

namespace plasmabox {

namespace {

// Closed box: a point on a face passes. A NaN coordinate passes too (every
// comparison is false); its rays then hit nothing.
bool inClosedBox(const AmfObject& o, const Vec3& p) {
  return !(p.x < o.bbox_min.x || p.y < o.bbox_min.y || p.z < o.bbox_min.z || p.x > o.bbox_max.x ||
           p.y > o.bbox_max.y || p.z > o.bbox_max.z);
}

bool finitePoint(const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); }

// m, Euclidean distance from p to the object's first vertex (not its centre).
double firstVertexDistance(const AmfObject& o, const Vec3& p) {
  const Vec3 v = o.vertices[0];
  const double dx = p.x - v.x, dy = p.y - v.y, dz = p.z - v.z;
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

}  // namespace

int countRayHitsIndexed(const AmfObject& o, const Vec3& p, int k) {
  const DirectionBvh& bvh = o.bvh.directions[static_cast<std::size_t>(k)];
  const Vec3 d = RAY_DIRECTIONS[k];
  const Triangle* tris = o.triangles.data();
  int count = 0;
  const uint32_t* always = bvh.unbounded_ids.data();
  for (std::size_t n = 0, end = bvh.unbounded_ids.size(); n < end; ++n) {
    const Triangle& t = tris[always[n]];
    count += rayHitsTriangle(p, t.a, t.b, t.c, d);
  }
  if (bvh.nodes.empty()) return count;

  const RayFrame frame = rayFrame(k);
  const double pu = frameU(frame, p), pw = frameW(frame, p), pa = frameAlong(frame, p);
  const BvhNode* nodes = bvh.nodes.data();
  const uint32_t* ids = bvh.triangle_ids.data();
  int32_t stack[BVH_MAX_DEPTH];
  int top = 0;
  int32_t at = 0;
  for (;;) {
    const BvhNode& n = nodes[at];
    if (pu >= n.u_lo && pu <= n.u_hi && pw >= n.w_lo && pw <= n.w_hi && pa <= n.along_max) {
      if (n.count == 0) {
        stack[top++] = n.first;
        ++at;
        continue;
      }
      for (int32_t q = n.first, end = n.first + n.count; q < end; ++q) {
        const Triangle& t = tris[ids[q]];
        count += rayHitsTriangle(p, t.a, t.b, t.c, d);
      }
    }
    if (top == 0) break;
    at = stack[--top];
  }
  return count;
}

namespace {

// Majority vote of the five ray parities through the index. Stops once three
// rays agree: the remaining ones cannot change the outcome.
bool containsIndexed(const AmfObject& o, const Vec3& p) {
  int odd = 0, even = 0;
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k) {
    if (countRayHitsIndexed(o, p, k) % 2 == 1)
      ++odd;
    else
      ++even;
    if (odd >= 3) return true;
    if (even >= 3) return false;
  }
  return false;
}

bool containsFullScan(const AmfObject& o, const Vec3& p) {
  int votes = 0;
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k)
    if (countRayHits(o, p, k) % 2 == 1) ++votes;
  return votes > 2;
}

}  // namespace

int countRayHits(const AmfObject& object, const Vec3& p, int k) {
  const Vec3 d = RAY_DIRECTIONS[k];
  int count = 0;
  for (const Triangle& t : object.triangles) count += rayHitsTriangle(p, t.a, t.b, t.c, d);
  return count;
}

int findContainingObjectIndex(std::span<const AmfObject> objects, const Vec3& p) {
  int result = -1;
  double best = DBL_MAX;
  // The index assumes a finite ray origin; other points take the full scan.
  const bool finite = finitePoint(p);
  const int count = static_cast<int>(objects.size());
  for (int n = 0; n < count; ++n) {
    const AmfObject& o = objects[static_cast<std::size_t>(n)];
    if (!inClosedBox(o, p) || o.triangles.empty() || o.vertices.empty()) continue;
    // The distance decides only among containing objects, so an object that
    // could not beat the best one so far is not worth its rays.
    const double distance = firstVertexDistance(o, p);
    if (!(distance < best)) continue;
    const bool inside = finite && bvhMatches(o) ? containsIndexed(o, p) : containsFullScan(o, p);
    if (inside) {
      result = n;
      best = distance;
    }
  }
  return result;
}

int findContainingObjectIndexFullScan(std::span<const AmfObject> objects, const Vec3& p) {
  int result = -1;
  double best = DBL_MAX;
  const int count = static_cast<int>(objects.size());
  for (int n = 0; n < count; ++n) {
    const AmfObject& o = objects[static_cast<std::size_t>(n)];
    if (!inClosedBox(o, p)) continue;
    if (!containsFullScan(o, p)) continue;
    // Without a first vertex there is no distance; such an object (possible
    // only in records built by hand) contains nothing.
    if (o.vertices.empty()) continue;
    const double distance = firstVertexDistance(o, p);
    if (distance < best) {
      result = n;
      best = distance;
    }
  }
  return result;
}

std::string findContainingObject(std::span<const AmfObject> objects, const Vec3& p) {
  const int index = findContainingObjectIndex(objects, p);
  return index < 0 ? std::string() : objects[static_cast<std::size_t>(index)].name;
}

}  // namespace plasmabox
