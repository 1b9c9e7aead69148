#include "surfaces/illumination.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "geometry/firstHit.h"
#include "geometry/outwardNormals.h"
#include "geometry/watertightHit.h"

namespace plasmabox {

namespace {

Vec3 unitSun(const Vec3& sun) {
  const double largest = std::max({std::fabs(sun.x), std::fabs(sun.y), std::fabs(sun.z)});
  if (!(largest > 0.0) || !std::isfinite(largest))
    throw std::invalid_argument("sun: the direction towards the sun must be a finite vector other than zero");
  const Vec3 d{sun.x / largest, sun.y / largest, sun.z / largest};  // no overflow in the length below
  return (1.0 / std::sqrt(dot(d, d))) * d;
}

Vec3 unit(const Vec3& v) { return (1.0 / std::sqrt(dot(v, v))) * v; }

// Coordinates of corner - base in the plane across the sun: what a shadow
// looks like from the sun.
struct Outline {
  double at[3][2];
};
Outline outline(const Vec3 corner[3], const Vec3& base, const Vec3& across_u, const Vec3& across_v) {
  Outline o{};
  for (int k = 0; k < 3; ++k) {
    o.at[k][0] = dot(corner[k] - base, across_u);
    o.at[k][1] = dot(corner[k] - base, across_v);
  }
  return o;
}

// False when an edge normal of either outline separates the two by more than
// tol (m): for two triangles these axes decide whether they overlap.
bool outlinesOverlap(const Outline& p, const Outline& q, double tol) {
  for (const Outline* shape : {&p, &q})
    for (int e = 0; e < 3; ++e) {
      const double* from = shape->at[e];
      const double* to = shape->at[(e + 1) % 3];
      const double ax = from[1] - to[1], ay = to[0] - from[0];
      const double length = std::sqrt(ax * ax + ay * ay);
      if (!(length > 0.0)) continue;
      double p_lo = INFINITY, p_hi = -INFINITY, q_lo = INFINITY, q_hi = -INFINITY;
      for (int k = 0; k < 3; ++k) {
        const double sp = ax * p.at[k][0] + ay * p.at[k][1];
        const double sq = ax * q.at[k][0] + ay * q.at[k][1];
        p_lo = std::min(p_lo, sp), p_hi = std::max(p_hi, sp);
        q_lo = std::min(q_lo, sq), q_hi = std::max(q_hi, sq);
      }
      if (p_hi < q_lo - tol * length || q_hi < p_lo - tol * length) return false;
    }
  return true;
}

// True when some triangle other than lit's own may shade a point of it. A
// shadow ray starts `offset` above the triangle and rises towards the sun, so
// a shading triangle reaches above half that height, lies in the beam of the
// triangle's box swept towards the sun (the tree's walk), and its outline seen
// from the sun overlaps the triangle's (widened by twice the offset, which
// covers the start height and the rounding).
bool mayBeShaded(const SceneTriangles& scene, const Illumination& light, const SunlitTriangle& lit, const Triangle& t,
                 const Vec3& across_u, const Vec3& across_v) {
  const Vec3 corner[3] = {t.a, t.b, t.c};
  const Outline own = outline(corner, t.a, across_u, across_v);
  Vec3 lo = t.a, hi = t.a;
  for (const Vec3& c : corner)
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], c[a]), hi[a] = std::max(hi[a], c[a]);
  const Vec3 half = 0.5 * (hi - lo);
  RayQuery beam = makeRayQuery(lo + half, light.sun, std::numeric_limits<double>::infinity(), scene.scale);
  setRayPad(beam, beam.pad + std::max({half.x, half.y, half.z}) + 2.0 * light.offset);  // the swept box, not a line
  const double tol = 2.0 * light.offset;
  return anyHitInTree(scene.tree, beam, [&](int32_t slot) {
           const SceneTriangle& s = scene.triangles[static_cast<std::size_t>(slot)];
           if (s.object == lit.object && s.triangle == lit.triangle) return NO_HIT;
           const Vec3 other[3] = {{s.a[0], s.a[1], s.a[2]}, {s.b[0], s.b[1], s.b[2]}, {s.c[0], s.c[1], s.c[2]}};
           double height = -INFINITY;
           for (const Vec3& c : other) height = std::max(height, dot(c - t.a, lit.normal));
           if (!(height > 0.5 * light.offset)) return NO_HIT;
           return outlinesOverlap(own, outline(other, t.a, across_u, across_v), tol) ? 0.0 : NO_HIT;
         }) >= 0;
}

}  // namespace

Illumination findSunlitTriangles(std::span<const AmfObject> objects, const SceneTriangles& scene, const Vec3& sun) {
  Illumination light;
  light.sun = unitSun(sun);
  light.offset = surfaceOffset(scene);
  for (std::size_t o = 0; o < objects.size(); ++o) {
    const OutwardNormals out = outwardNormals(objects[o]);
    for (std::size_t t = 0; t < out.normal.size(); ++t) {
      const double cos_theta = dot(out.normal[t], light.sun);
      if (out.area[t] > 0.0 && cos_theta > 0.0)
        light.triangles.push_back({static_cast<int32_t>(o), static_cast<int32_t>(t), out.normal[t], out.area[t],
                                   std::min(cos_theta, 1.0), false});
    }
  }
  // A frame across the sun, from the axis least along it.
  const Vec3 axis = std::fabs(light.sun.x) < 0.5 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
  const Vec3 across_u = unit(cross(light.sun, axis));
  const Vec3 across_v = cross(light.sun, across_u);
  for (SunlitTriangle& lit : light.triangles) {
    const Triangle& t = objects[static_cast<std::size_t>(lit.object)].triangles[static_cast<std::size_t>(lit.triangle)];
    lit.fully_lit = !mayBeShaded(scene, light, lit, t, across_u, across_v);
  }
  return light;
}

bool inShadow(const SceneTriangles& scene, const Illumination& light, const SunlitTriangle& lit, const Vec3& point) {
  if (lit.fully_lit) return false;
  return anyHitRay(scene, point + light.offset * lit.normal, light.sun);
}

}  // namespace plasmabox
