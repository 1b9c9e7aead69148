// Sunlit triangles and their shadows: which faces of a cube the sun reaches
// and at what angle, a plate in another's shadow, a half-shadowed plate, and
// the uniform point on a triangle that emission draws from.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/firstHit.h"
#include "geometry/testMeshes.h"
#include "surfaces/illumination.h"
#include "surfaces/pointOnTriangle.h"

using namespace plasmabox;

namespace {

struct Lit {
  std::vector<AmfObject> objects;
  SceneTriangles scene;
  Illumination light;
};

Lit light(const std::vector<NamedMesh>& meshes, const Vec3& sun) {
  Lit l{objectsOf(meshes), {}, {}};
  l.scene = buildSceneTriangles(l.objects);
  l.light = findSunlitTriangles(l.objects, l.scene, sun);
  return l;
}

// Shadowed fraction of `draws` uniform points on the lit triangles of object
// `object` whose normal is `normal` (the plate's top face); `shadowed(p)` is
// the geometric answer each point is also checked against.
template <class Expected>
double shadowedFraction(const Lit& l, int object, const Vec3& normal, int draws, Expected shadowed) {
  std::mt19937 gen(31);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  int in_shadow = 0, total = 0, wrong = 0;
  for (const SunlitTriangle& lit : l.light.triangles) {
    if (lit.object != object || !(lit.normal == normal)) continue;
    const Triangle& t = l.objects[static_cast<std::size_t>(object)].triangles[static_cast<std::size_t>(lit.triangle)];
    for (int n = 0; n < draws; ++n) {
      const double r1 = u(gen), r2 = u(gen);
      const Vec3 p = pointOnTriangle(t, r1, r2);
      const bool s = inShadow(l.scene, l.light, lit, p);
      in_shadow += s;
      ++total;
      wrong += s != shadowed(p);
    }
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(total, 0);
  return static_cast<double>(in_shadow) / total;
}

}  // namespace

TEST(Illumination, TheFacesOfACubeThatFaceTheSun) {
  const double root14 = std::sqrt(14.0);
  const struct {
    Vec3 sun;
    Vec3 lit[3];  // outward normals of the lit faces
    double cos_theta[3];
  } cases[] = {
      {{7, 14, 21}, {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1 / root14, 2 / root14, 3 / root14}},
      {{0, 0, -1e-3}, {{0, 0, -1}}, {1}},  // the sides, edge-on, stay dark
      {{-1, 0, 1}, {{-1, 0, 0}, {0, 0, 1}}, {std::sqrt(0.5), std::sqrt(0.5)}},
  };
  for (const auto& c : cases) {
    const Lit l = light({boxMesh("cube", {0, 0, 0}, {2, 3, 4})}, c.sun);
    std::size_t faces = 0;
    for (const auto& n : c.lit) faces += dot(n, n) > 0;
    ASSERT_EQ(l.light.triangles.size(), 2 * faces) << c.sun.x;
    for (const SunlitTriangle& t : l.light.triangles) {
      std::size_t f = 0;
      while (f < faces && !(c.lit[f] == t.normal)) ++f;
      ASSERT_LT(f, faces) << t.normal.x << " " << t.normal.y << " " << t.normal.z;
      EXPECT_NEAR(t.cos_theta, c.cos_theta[f], 1e-15);
      const double face_area = t.normal.x != 0 ? 12 : (t.normal.y != 0 ? 8 : 6);
      EXPECT_DOUBLE_EQ(t.area, face_area / 2);
      EXPECT_TRUE(t.fully_lit);  // a convex body shades none of its own lit faces
    }
  }
  EXPECT_THROW(light({boxMesh("cube", {0, 0, 0}, {1, 1, 1})}, {0, 0, 0}), std::invalid_argument);
  EXPECT_THROW(light({boxMesh("cube", {0, 0, 0}, {1, 1, 1})}, {NAN, 0, 1}), std::invalid_argument);
}

// A plate 1 m above another, both 1 cm thick; the sun straight above or at
// 26.6 degrees from the vertical towards +x. Each point's answer is checked
// against where the upper plate's shadow falls.
TEST(Illumination, PlatesInTheShadowOfAnother) {
  const NamedMesh lower = boxMesh("lower", {0, 0, 0}, {1, 1, 0.01});
  const Vec3 up{0, 0, 1};
  const int draws = 10000;  // per triangle: two triangles, 20000 points
  {                         // fully shadowed, straight and oblique
    for (const Vec3 sun : {Vec3{0, 0, 1}, Vec3{0.2, 0.1, 1}}) {
      const Lit l = light({lower, boxMesh("upper", {-0.5, -0.5, 1}, {1.5, 1.5, 1.01})}, sun);
      EXPECT_EQ(shadowedFraction(l, 0, up, draws, [](const Vec3&) { return true; }), 1.0);
      for (const SunlitTriangle& t : l.light.triangles)
        EXPECT_EQ(t.fully_lit, t.object == 1) << t.object << " " << t.triangle;  // only the lower plate can be shaded
    }
  }
  // Half the plate under the blocker, x < 0.5 (sun straight above); with the
  // sun leaning towards +x by atan(1/2), a point at x reaches the blocker's
  // underside at x + 0.99 / 2, so only x < 0.005 is shaded.
  const NamedMesh half = boxMesh("half", {-0.5, -0.5, 1}, {0.5, 1.5, 1.01});
  const struct {
    Vec3 sun;
    double edge;  // shaded where x < edge
  } cases[] = {{{0, 0, 1}, 0.5}, {{1, 0, 2}, 0.005}};
  for (const auto& c : cases) {
    const Lit l = light({lower, half}, c.sun);
    const double fraction = shadowedFraction(l, 0, up, draws, [&](const Vec3& p) { return p.x < c.edge; });
    // Binomial: the shadowed fraction of 20000 uniform points is the shaded
    // area's fraction within 3 standard deviations.
    const double sigma = std::sqrt(c.edge * (1 - c.edge) / (2 * draws));
    EXPECT_NEAR(fraction, c.edge, 3 * sigma) << c.edge;
  }
}

TEST(Illumination, PointOnTriangleIsUniformOverTheArea) {
  const Triangle t{{1, 0, 0}, {3, 1, 0}, {0, 4, 2}};
  EXPECT_EQ(pointOnTriangle(t, 0.0, 0.7), t.a);
  const double below_one = std::nextafter(1.0, 0.0);
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(pointOnTriangle(t, below_one, 0.0)[k], t.b[k], 1e-15);
    EXPECT_NEAR(pointOnTriangle(t, below_one, below_one)[k], t.c[k], 1e-15);
  }
  // Mean at the centroid; a quarter of the points in the half-size triangle
  // at corner a (a quarter of the area); every point on the triangle.
  std::mt19937 gen(8);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  const int n = 40000;
  Vec3 mean;
  int near_a = 0;
  const Vec3 e1 = t.b - t.a, e2 = t.c - t.a, normal = cross(e1, e2);
  for (int k = 0; k < n; ++k) {
    const Vec3 p = pointOnTriangle(t, u(gen), u(gen));
    mean += (1.0 / n) * p;
    // Barycentric weights of b and c: (p - a) = wb e1 + wc e2.
    const double wb = dot(cross(p - t.a, e2), normal) / dot(normal, normal);
    const double wc = dot(cross(e1, p - t.a), normal) / dot(normal, normal);
    EXPECT_TRUE(wb >= -1e-15 && wc >= -1e-15 && wb + wc <= 1 + 1e-15) << k;
    EXPECT_NEAR(dot(p - t.a, normal), 0.0, 1e-12);
    near_a += wb + wc < 0.5;
  }
  const Vec3 centroid = (1.0 / 3.0) * (t.a + t.b + t.c);
  // Each coordinate's spread over the triangle is below 2 here: 3 sigma of the mean < 3 * 2 / sqrt(n).
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(mean[k], centroid[k], 3 * 2 / std::sqrt(n));
  EXPECT_NEAR(near_a / static_cast<double>(n), 0.25, 3 * std::sqrt(0.25 * 0.75 / n));
}
