// Outward normals from the corner order, repaired where triangles disagree
// with their neighbours, and refused with the object's name where no outward
// side exists.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "geometry/outwardNormals.h"
#include "testMeshes.h"

using namespace plasmabox;

namespace {

// The mesh with the corner order of the listed triangles reversed.
NamedMesh reversed(NamedMesh m, const std::set<std::size_t>& which) {
  for (std::size_t t = 0; t < m.mesh.triangles.size(); ++t)
    if (which.count(t)) std::swap(m.mesh.triangles[t][1], m.mesh.triangles[t][2]);
  return m;
}

std::set<std::size_t> all(std::size_t n) {
  std::set<std::size_t> s;
  for (std::size_t t = 0; t < n; ++t) s.insert(t);
  return s;
}

// Both meshes as one object.
NamedMesh joined(NamedMesh a, const NamedMesh& b) {
  const auto base = static_cast<uint32_t>(a.mesh.vertices.size());
  a.mesh.vertices.insert(a.mesh.vertices.end(), b.mesh.vertices.begin(), b.mesh.vertices.end());
  for (auto t : b.mesh.triangles) a.mesh.triangles.push_back({t[0] + base, t[1] + base, t[2] + base});
  return a;
}

// The outward normal of a triangle on the face of box [lo, hi]: the axis on
// which its corners share the coordinate lo or hi, pointing away from the box.
Vec3 boxFaceNormal(const Triangle& t, const Vec3& lo, const Vec3& hi) {
  for (int a = 0; a < 3; ++a) {
    Vec3 n;
    if (t.a[a] == lo[a] && t.b[a] == lo[a] && t.c[a] == lo[a]) n[a] = -1;
    if (t.a[a] == hi[a] && t.b[a] == hi[a] && t.c[a] == hi[a]) n[a] = 1;
    if (n[a] != 0) return n;
  }
  return {};
}

}  // namespace

TEST(OutwardNormals, BoxesWithReversedTrianglesPointOutOfTheSolid) {
  const Vec3 lo{0, 0, 0}, hi{3, 3, 3}, in_lo{1, 1, 1}, in_hi{2, 2, 2}, far_lo{5, 0, 0}, far_hi{6, 1, 2};
  const NamedMesh cube = boxMesh("cube", lo, hi);
  const struct {
    const char* what;
    NamedMesh mesh;
    std::size_t reversed;
  } cases[] = {
      {"as written", cube, 0},
      {"every triangle reversed", reversed(cube, all(12)), 12},
      {"three triangles reversed", reversed(cube, {1, 4, 9}), 3},
      // A cavity written as a solid cube: its side faces into the hole.
      {"hollow box", joined(cube, boxMesh("hole", in_lo, in_hi)), 12},
      {"hollow box, mixed order", joined(reversed(cube, {0, 7}), reversed(boxMesh("hole", in_lo, in_hi), {3, 5})), 12},
      {"two boxes, one inside out", joined(cube, reversed(boxMesh("far", far_lo, far_hi), all(12))), 12},
  };
  for (const auto& c : cases) {
    const AmfObject object = toObject(c.mesh);
    const OutwardNormals out = outwardNormals(object);
    ASSERT_EQ(out.normal.size(), object.triangles.size()) << c.what;
    EXPECT_EQ(out.reversed, c.reversed) << c.what;
    for (std::size_t t = 0; t < object.triangles.size(); ++t) {
      const Triangle& tri = object.triangles[t];
      const bool in_hole = tri.a.x >= in_lo.x && tri.a.x <= in_hi.x && tri.a.y >= in_lo.y && tri.a.y <= in_hi.y &&
                           tri.a.z >= in_lo.z && tri.a.z <= in_hi.z;
      const bool far = tri.a.x >= far_lo.x;
      const Vec3 expected = far ? boxFaceNormal(tri, far_lo, far_hi)
                                : (in_hole ? -1.0 * boxFaceNormal(tri, in_lo, in_hi) : boxFaceNormal(tri, lo, hi));
      EXPECT_EQ(out.normal[t], expected) << c.what << ", triangle " << t;
      const Vec3 size = far ? far_hi - far_lo : (in_hole ? in_hi - in_lo : hi - lo);
      const double face = expected.x != 0 ? size.y * size.z : (expected.y != 0 ? size.x * size.z : size.x * size.y);
      EXPECT_EQ(out.area[t], 0.5 * face) << c.what << ", triangle " << t;
    }
  }
}

TEST(OutwardNormals, SphereWithEveryThirdTriangleReversed) {
  const Vec3 centre{880.0, 810.0, 3.0};
  std::set<std::size_t> every_third;
  for (std::size_t t = 0; t < 320; t += 3) every_third.insert(t);
  const AmfObject sphere = toObject(reversed(sphereMesh("sphere", centre, 0.015, 2), every_third));
  const OutwardNormals out = outwardNormals(sphere);
  double area = 0.0;
  for (std::size_t t = 0; t < sphere.triangles.size(); ++t) {
    const Triangle& tri = sphere.triangles[t];
    const Vec3 middle = (1.0 / 3.0) * (tri.a + tri.b + tri.c) - centre;
    EXPECT_GT(dot(out.normal[t], middle), 0.99 * std::sqrt(dot(middle, middle))) << t;
    EXPECT_NEAR(dot(out.normal[t], out.normal[t]), 1.0, 1e-15);
    area += out.area[t];
  }
  // The inscribed polyhedron: a little less than the sphere's 4 pi r^2.
  const double sphere_area = 4 * std::acos(-1.0) * 0.015 * 0.015;
  EXPECT_GT(area, 0.97 * sphere_area);
  EXPECT_LT(area, sphere_area);
}

TEST(OutwardNormals, ObjectsWithoutAnOutwardSideAreRefusedByName) {
  NamedMesh open = boxMesh("lid off", {0, 0, 0}, {1, 1, 1});
  open.mesh.triangles.pop_back();
  NamedMesh pillow{"pillow", {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}}}};
  // Two cubes sharing one edge: four triangles meet there.
  const NamedMesh pair = joined(boxMesh("pair", {0, 0, 0}, {1, 1, 1}), boxMesh("b", {1, 1, 0}, {2, 2, 1}));
  AmfObject broken = toObject(boxMesh("broken", {0, 0, 0}, {1, 1, 1}));
  broken.triangles[3].b.y = NAN;
  const struct {
    AmfObject object;
    const char* reason;  // empty: accepted
    std::size_t reversed;
  } cases[] = {
      {toObject(open), "is not closed", 0},
      {toObject(pillow), "encloses no volume", 0},
      {broken, "not a finite number", 0},
      {toObject(reversed(pair, {5})), "disagree on their corner order", 0},
      {toObject(pair), "", 0},
      {toObject(reversed(pair, all(24))), "", 24},
  };
  for (const auto& c : cases) {
    const std::string name = "\"" + c.object.name + "\"";
    if (*c.reason == '\0') {
      EXPECT_EQ(outwardNormals(c.object).reversed, c.reversed) << name;
      continue;
    }
    try {
      outwardNormals(c.object);
      ADD_FAILURE() << name << " accepted";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find(name), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
}
