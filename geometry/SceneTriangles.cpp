#include "geometry/SceneTriangles.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace plasmabox {

namespace {

bool finite(const Vec3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

void store(const Vec3& v, double out[3]) {
  out[0] = v.x;
  out[1] = v.y;
  out[2] = v.z;
}

}  // namespace

SceneTriangles buildSceneTriangles(std::span<const AmfObject> objects) {
  std::vector<SceneTriangle> listed;
  std::vector<AxisBox> boxes;
  std::vector<Vec3> centres;
  double scale = 0.0;
  for (std::size_t o = 0; o < objects.size(); ++o) {
    const std::vector<Triangle>& triangles = objects[o].triangles;
    if (o > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()) ||
        triangles.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max()))
      throw std::invalid_argument("buildSceneTriangles: more than 2^31 - 1 objects or triangles");
    for (std::size_t n = 0; n < triangles.size(); ++n) {
      const Triangle& t = triangles[n];
      if (!finite(t.a) || !finite(t.b) || !finite(t.c)) continue;
      SceneTriangle s{};
      store(t.a, s.a);
      store(t.b, s.b);
      store(t.c, s.c);
      s.object = static_cast<int32_t>(o);
      s.triangle = static_cast<int32_t>(n);
      listed.push_back(s);
      AxisBox box;
      for (int a = 0; a < 3; ++a) {
        box.lo[a] = std::min({t.a[a], t.b[a], t.c[a]});
        box.hi[a] = std::max({t.a[a], t.b[a], t.c[a]});
        scale = std::max({scale, std::fabs(box.lo[a]), std::fabs(box.hi[a])});
      }
      boxes.push_back(box);
      centres.push_back(0.5 * box.lo + 0.5 * box.hi);  // no overflow near the largest doubles
    }
  }
  SceneTriangles scene;
  scene.tree = buildTriangleTree(boxes, centres);
  scene.triangles.reserve(listed.size());
  for (const uint32_t rank : scene.tree.order) scene.triangles.push_back(listed[rank]);
  scene.scale = scale;
  return scene;
}

}  // namespace plasmabox
