#include "geometry/firstHit.h"

#include "geometry/watertightHit.h"

namespace plasmabox {

namespace {

// The caller's record of a hit on triangle `slot` at internal parameter t: the
// point from the barycentric weights, which lies on the triangle.
SurfaceHit describeHit(const SceneTriangles& scene, const RayQuery& q, int32_t slot, double t) {
  const SceneTriangle& s = scene.triangles[static_cast<std::size_t>(slot)];
  double weights[3], scaled_t;
  shearedEdgeFunctions(q, s.a, s.b, s.c, weights, scaled_t);
  const double det = weights[0] + weights[1] + weights[2];
  const double wa = weights[0] / det, wb = weights[1] / det, wc = weights[2] / det;
  const Vec3 point{wa * s.a[0] + wb * s.b[0] + wc * s.c[0], wa * s.a[1] + wb * s.b[1] + wc * s.c[1],
                   wa * s.a[2] + wb * s.b[2] + wc * s.c[2]};
  return {s.object, s.triangle, t * q.t_scale, point};
}

std::optional<SurfaceHit> firstHitIndexed(const SceneTriangles& scene, const RayQuery& q) {
  const SceneTriangle* triangles = scene.triangles.data();
  const TreeHit hit = firstHitInTree(scene.tree, q, [&](int32_t slot) {
    const SceneTriangle& s = triangles[slot];
    return watertightHit(q, s.a, s.b, s.c);
  });
  if (hit.slot < 0) return std::nullopt;
  return describeHit(scene, q, hit.slot, hit.t);
}

}  // namespace

std::optional<SurfaceHit> firstHitSegment(const SceneTriangles& scene, const Vec3& p0, const Vec3& p1) {
  return firstHitIndexed(scene, makeRayQuery(p0, p1 - p0, 1.0, scene.scale));
}

std::optional<SurfaceHit> firstHitRay(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction) {
  return firstHitIndexed(scene, makeRayQuery(origin, direction, std::numeric_limits<double>::infinity(), scene.scale));
}

bool anyHitRay(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction, double t_max) {
  const RayQuery q = makeRayQuery(origin, direction, t_max, scene.scale);
  const SceneTriangle* triangles = scene.triangles.data();
  return anyHitInTree(scene.tree, q, [&](int32_t slot) {
           const SceneTriangle& s = triangles[slot];
           return watertightHit(q, s.a, s.b, s.c);
         }) >= 0;
}

std::optional<SurfaceHit> firstHitFullScan(const SceneTriangles& scene, const Vec3& origin, const Vec3& direction,
                                           double t_max) {
  const RayQuery q = makeRayQuery(origin, direction, t_max, scene.scale);
  if (!q.valid) return std::nullopt;
  // Slots in (object, triangle) order: the strict < keeps the first on a tie.
  std::vector<int32_t> by_rank(scene.triangles.size());
  for (std::size_t s = 0; s < by_rank.size(); ++s) by_rank[scene.tree.order[s]] = static_cast<int32_t>(s);
  int32_t best = -1;
  double best_t = q.t_max;
  for (const int32_t slot : by_rank) {
    const SceneTriangle& s = scene.triangles[static_cast<std::size_t>(slot)];
    const double t = watertightHit(q, s.a, s.b, s.c);
    if (t >= 0.0 && (t < best_t || (best < 0 && t == best_t))) {
      best = slot;
      best_t = t;
    }
  }
  if (best < 0) return std::nullopt;
  return describeHit(scene, q, best, best_t);
}

}  // namespace plasmabox
