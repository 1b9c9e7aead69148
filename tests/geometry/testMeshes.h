#pragma once

// Closed triangle meshes for the geometry tests and benchmark.

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/IndexedMesh.h"
#include "geometry/buildObjectBvh.h"
#include "mesh/Grid.h"

namespace plasmabox {

// Axis-aligned box lo..hi, 12 outward triangles. first_corner picks which of
// the eight corners is vertex 0 (bit 0: x at hi, bit 1: y, bit 2: z).
inline NamedMesh boxMesh(const std::string& name, Vec3 lo, Vec3 hi, unsigned first_corner = 0) {
  NamedMesh m{name, {}};
  for (unsigned n = 0; n < 8; ++n) {
    const unsigned c = n ^ first_corner;
    m.mesh.vertices.push_back({c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z});
  }
  const unsigned faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    const uint32_t a = f[0] ^ first_corner, b = f[1] ^ first_corner, c = f[2] ^ first_corner, d = f[3] ^ first_corner;
    m.mesh.triangles.insert(m.mesh.triangles.end(), {{a, b, c}, {a, c, d}});
  }
  return m;
}

// Icosahedron subdivided `levels` times and pushed onto the sphere:
// 20 * 4^levels triangles (5 levels: 20480).
inline NamedMesh sphereMesh(const std::string& name, Vec3 centre, double radius, int levels) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<Vec3> v = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                         {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<uint32_t, 3>> t = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  const auto unit = [](Vec3 p) { return (1.0 / std::sqrt(dot(p, p))) * p; };
  for (Vec3& p : v) p = unit(p);
  for (int l = 0; l < levels; ++l) {
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> mid;
    const auto middle = [&](uint32_t a, uint32_t b) {
      const auto [found, added] = mid.try_emplace(std::minmax(a, b), static_cast<uint32_t>(v.size()));
      if (added) v.push_back(unit(0.5 * (v[static_cast<std::size_t>(a)] + v[static_cast<std::size_t>(b)])));
      return found->second;
    };
    std::vector<std::array<uint32_t, 3>> next;
    for (const auto& f : t) {
      const uint32_t ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
      next.insert(next.end(), {{f[0], ab, ca}, {f[1], bc, ab}, {f[2], ca, bc}, {ab, bc, ca}});
    }
    t = std::move(next);
  }
  NamedMesh m{name, {{}, t}};
  for (const Vec3& p : v) m.mesh.vertices.push_back(centre + radius * p);
  return m;
}

// Closed ring around the axis through centre along x: the rectangle
// [x - half_width, x + half_width] x [r_in, r_out] swept around the axis in
// `segments` steps, 8 * segments triangles. Its hole is outside the ring.
inline NamedMesh ringMesh(const std::string& name, Vec3 centre, double r_in, double r_out, double half_width,
                          int segments) {
  NamedMesh m{name, {}};
  const double pi = std::acos(-1.0);
  const double profile[4][2] = {{-half_width, r_in}, {-half_width, r_out}, {half_width, r_out}, {half_width, r_in}};
  for (int s = 0; s < segments; ++s) {
    const double phi = 2 * pi * s / segments;
    for (const auto& p : profile)
      m.mesh.vertices.push_back({centre.x + p[0], centre.y + p[1] * std::cos(phi), centre.z + p[1] * std::sin(phi)});
  }
  const auto at = [&](int s, int p) { return static_cast<uint32_t>(4 * (s % segments) + p % 4); };
  for (int s = 0; s < segments; ++s)
    for (int p = 0; p < 4; ++p)
      m.mesh.triangles.insert(m.mesh.triangles.end(),
                              {{at(s, p), at(s + 1, p), at(s + 1, p + 1)}, {at(s, p), at(s + 1, p + 1), at(s, p + 1)}});
  return m;
}

// The record the reader makes of a mesh: corners copied, box, ray index.
inline AmfObject toObject(const NamedMesh& m) {
  AmfObject o;
  o.name = m.name;
  o.vertices = m.mesh.vertices;
  const auto at = [&](uint32_t n) { return m.mesh.vertices[n]; };
  for (const auto& t : m.mesh.triangles) o.triangles.push_back({at(t[0]), at(t[1]), at(t[2])});
  o.bbox_min = o.bbox_max = m.mesh.vertices.at(0);
  for (const Vec3& p : m.mesh.vertices)
    for (int a = 0; a < 3; ++a) o.bbox_min[a] = std::min(o.bbox_min[a], p[a]), o.bbox_max[a] = std::max(o.bbox_max[a], p[a]);
  o.bvh = buildObjectBvh(o);
  return o;
}

inline std::vector<AmfObject> objectsOf(const std::vector<NamedMesh>& meshes) {
  std::vector<AmfObject> objects;
  for (const NamedMesh& m : meshes) objects.push_back(toObject(m));
  return objects;
}

inline Grid cube(int nodes, double lo, double hi) {
  Grid g(nodes, nodes, nodes);
  g.setExtents({lo, lo, lo}, {hi, hi, hi});
  return g;
}

}  // namespace plasmabox
