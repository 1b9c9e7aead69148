#include "geometry/isClosedSurface.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace plasmabox {

namespace {

using Corner = std::array<double, 3>;
using Edge = std::array<Corner, 2>;  // smaller corner first

Corner corner(const Vec3& v) { return {v.x, v.y, v.z}; }

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

}  // namespace

bool isClosedSurface(std::span<const Triangle> triangles) {
  if (triangles.empty()) return false;
  std::vector<Edge> edges;
  edges.reserve(3 * triangles.size());
  for (const Triangle& t : triangles) {
    if (!finite(t.a) || !finite(t.b) || !finite(t.c)) return false;
    const Corner c[3] = {corner(t.a), corner(t.b), corner(t.c)};
    for (int e = 0; e < 3; ++e) {
      const Corner& p = c[e];
      const Corner& q = c[(e + 1) % 3];
      if (p == q) continue;  // -0 and +0 compare equal: the same position
      edges.push_back(p < q ? Edge{p, q} : Edge{q, p});
    }
  }
  std::sort(edges.begin(), edges.end());
  for (std::size_t run = 0; run < edges.size();) {
    std::size_t end = run + 1;
    while (end < edges.size() && edges[end] == edges[run]) ++end;
    if ((end - run) % 2 != 0) return false;
    run = end;
  }
  return true;
}

}  // namespace plasmabox
