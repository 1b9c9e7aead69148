#pragma once

// Closed triangle meshes and AMF text for the geometry tests and benchmark.

#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "geometry/AmfObject.h"
#include "geometry/buildObjectBvh.h"

// A mesh by index, as an AMF file stores it.
struct IndexedMesh {
  std::string name;
  std::vector<Vec3> vertices;
  std::vector<std::array<int, 3>> triangles;
};

// Axis-aligned box from lo to hi, 12 outward triangles. first_corner picks
// which of the eight corners is vertex 0 (bit 0: x at hi, bit 1: y, bit 2: z).
inline IndexedMesh boxMesh(const std::string& name, Vec3 lo, Vec3 hi, int first_corner = 0) {
  IndexedMesh m{name, {}, {}};
  for (int n = 0; n < 8; ++n) {
    const int c = n ^ first_corner;
    m.vertices.push_back({c & 1 ? hi.x : lo.x, c & 2 ? hi.y : lo.y, c & 4 ? hi.z : lo.z});
  }
  // Faces as corner codes, counter-clockwise seen from outside.
  const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
  for (const auto& f : faces) {
    int v[4];
    for (int q = 0; q < 4; ++q) v[q] = f[q] ^ first_corner;
    m.triangles.push_back({v[0], v[1], v[2]});
    m.triangles.push_back({v[0], v[2], v[3]});
  }
  return m;
}

// Icosahedron around centre subdivided `levels` times and pushed onto the
// sphere: 20 * 4^levels triangles (5 levels: 20480).
inline IndexedMesh sphereMesh(const std::string& name, Vec3 centre, double radius, int levels) {
  const double g = (1.0 + std::sqrt(5.0)) / 2.0;
  std::vector<Vec3> v = {{-1, g, 0}, {1, g, 0}, {-1, -g, 0}, {1, -g, 0}, {0, -1, g}, {0, 1, g},
                         {0, -1, -g}, {0, 1, -g}, {g, 0, -1}, {g, 0, 1}, {-g, 0, -1}, {-g, 0, 1}};
  std::vector<std::array<int, 3>> t = {{0, 11, 5}, {0, 5, 1},  {0, 1, 7},   {0, 7, 10}, {0, 10, 11},
                                       {1, 5, 9},  {5, 11, 4}, {11, 10, 2}, {10, 7, 6}, {7, 1, 8},
                                       {3, 9, 4},  {3, 4, 2},  {3, 2, 6},   {3, 6, 8},  {3, 8, 9},
                                       {4, 9, 5},  {2, 4, 11}, {6, 2, 10},  {8, 6, 7},  {9, 8, 1}};
  const auto unit = [](Vec3 p) { return (1.0 / std::sqrt(dot(p, p))) * p; };
  for (Vec3& p : v) p = unit(p);
  for (int l = 0; l < levels; ++l) {
    std::map<std::pair<int, int>, int> mid;
    const auto middle = [&](int a, int b) {
      const auto key = std::minmax(a, b);
      const auto found = mid.find(key);
      if (found != mid.end()) return found->second;
      v.push_back(unit(0.5 * (v[static_cast<std::size_t>(a)] + v[static_cast<std::size_t>(b)])));
      return mid[key] = static_cast<int>(v.size()) - 1;
    };
    std::vector<std::array<int, 3>> next;
    for (const auto& f : t) {
      const int ab = middle(f[0], f[1]), bc = middle(f[1], f[2]), ca = middle(f[2], f[0]);
      next.push_back({f[0], ab, ca});
      next.push_back({f[1], bc, ab});
      next.push_back({f[2], ca, bc});
      next.push_back({ab, bc, ca});
    }
    t = std::move(next);
  }
  IndexedMesh m{name, {}, t};
  for (const Vec3& p : v) m.vertices.push_back(centre + radius * p);
  return m;
}

// The record the reader makes of mesh: corners copied, box over the vertices,
// ray index built.
inline AmfObject toObject(const IndexedMesh& m) {
  AmfObject o;
  o.name = m.name;
  o.vertices = m.vertices;
  for (const auto& t : m.triangles)
    o.triangles.push_back({m.vertices[static_cast<std::size_t>(t[0])], m.vertices[static_cast<std::size_t>(t[1])],
                           m.vertices[static_cast<std::size_t>(t[2])]});
  o.bbox_min = o.bbox_max = m.vertices.at(0);
  for (const Vec3& p : m.vertices)
    for (int a = 0; a < 3; ++a) {
      if (p[a] < o.bbox_min[a]) o.bbox_min[a] = p[a];
      if (p[a] > o.bbox_max[a]) o.bbox_max[a] = p[a];
    }
  o.bvh = buildObjectBvh(o);
  return o;
}

// AMF text of the meshes, numbers written with 17 significant digits so they
// read back to the same doubles.
inline std::string amfText(const std::vector<IndexedMesh>& meshes) {
  std::ostringstream s;
  s.precision(17);
  s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<amf unit=\"meter\">\n";
  for (const IndexedMesh& m : meshes) {
    s << " <object id=\"0\">\n  <metadata type=\"name\">" << m.name << "</metadata>\n  <mesh>\n   <vertices>\n";
    for (const Vec3& p : m.vertices)
      s << "    <vertex><coordinates><x>" << p.x << "</x><y>" << p.y << "</y><z>" << p.z
        << "</z></coordinates></vertex>\n";
    s << "   </vertices>\n   <volume>\n";
    for (const auto& t : m.triangles)
      s << "    <triangle><v1>" << t[0] << "</v1><v2>" << t[1] << "</v2><v3>" << t[2] << "</v3></triangle>\n";
    s << "   </volume>\n  </mesh>\n </object>\n";
  }
  s << "</amf>\n";
  return s.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
