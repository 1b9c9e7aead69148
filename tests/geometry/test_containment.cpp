#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/containment.h"
#include "geometry/objectPasses.h"
#include "testMeshes.h"

using namespace plasmabox;

TEST(Containment, ClosedMeshesInsideOutsideOnTheSurfaceAndNested) {
  const std::vector<AmfObject> world =
      objectsOf({boxMesh("cube", {0, 0, 0}, {1, 1, 1}), sphereMesh("sphere", {3, 0.5, 0.5}, 1.0, 3)});
  const struct {
    Vec3 p;
    int expected;  // -2: on the surface, only checked against the full scan
  } cases[] = {
      {{0.5, 0.5, 0.5}, 0}, {{3.9, 0.5, 0.5}, 1}, {{1.5, 0.5, 0.5}, -1}, {{3.99, 1.49, 1.4}, -1},
      {{0.5, 0.5, 0}, -2},  {{0, 0, 0.5}, -2},    {{1, 1, 1}, -2},       {{NAN, 0.5, 0.5}, -1},
  };
  for (const auto& c : cases) {
    const int fast = findContainingObjectIndex(world, c.p);
    EXPECT_EQ(fast, findContainingObjectIndexFullScan(world, c.p)) << c.p.x << " " << c.p.y << " " << c.p.z;
    EXPECT_TRUE(c.expected == -2 || fast == c.expected) << c.p.x << " " << c.p.y << " " << c.p.z;
  }
  EXPECT_EQ(findContainingObject(world, {5, 5, 5}), "");

  // Outer lists its corner (3, 3, 3) first, inner (1, 1, 1); twin equals outer.
  const std::vector<AmfObject> nested = objectsOf({boxMesh("outer", {0, 0, 0}, {3, 3, 3}, 7),
                                                   boxMesh("inner", {1, 1, 1}, {2.5, 2.5, 2.5}),
                                                   boxMesh("twin", {0, 0, 0}, {3, 3, 3}, 7)});
  EXPECT_EQ(findContainingObject(nested, {1.2, 1.2, 1.2}), "inner");  // nearer inner's first vertex
  EXPECT_EQ(findContainingObject(nested, {2.4, 2.4, 2.4}), "outer");  // inside both, outer's vertex nearer
  EXPECT_EQ(findContainingObject(nested, {0.5, 2.9, 0.5}), "outer");  // twin ties and comes later
  EXPECT_EQ(findContainingObjectIndexFullScan(nested, {1, 1, 1}), 1);  // at the first vertex itself
}

// Open triangle soup with slivers nearly parallel to the rays: rounding decides hits, index padding matters.
static NamedMesh adversarialSoup(std::mt19937& gen, int count) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_int_distribution<int> pick(0, NUM_RAY_DIRECTIONS - 1);
  NamedMesh m{"soup", {}};
  for (int n = 0; n < count; ++n) {
    const Vec3 a{u(gen), u(gen), u(gen)};
    Vec3 b = a + Vec3{u(gen), u(gen), u(gen)};
    const Vec3 c = a + Vec3{u(gen), u(gen), u(gen)};
    if (n % 2 == 0)  // edge almost along a ray direction: |det| near the tolerance
      b = a + 2.0 * RAY_DIRECTIONS[pick(gen)] + std::pow(10.0, -6 - 3 * u(gen)) * Vec3{u(gen), u(gen), u(gen)};
    const auto base = static_cast<uint32_t>(m.mesh.vertices.size());
    m.mesh.vertices.insert(m.mesh.vertices.end(), {a, b, c});
    m.mesh.triangles.push_back({base, base + 1, base + 2});
  }
  return m;
}

TEST(Containment, RayIndexCountsExactlyWhatTheFullScanCounts) {
  std::mt19937 gen(12345);
  const std::vector<AmfObject> world =
      objectsOf({sphereMesh("sphere", {0.1, -0.2, 0.3}, 0.9, 1), boxMesh("cube", {-0.5, -0.5, -0.5}, {0.25, 0.5, 0.75}),
                 sphereMesh("far", {880.0, 810.0, 3.0}, 5.0, 1), adversarialSoup(gen, 100)});
  // Random points in each box and on its faces, vertices and neighbours, edge midpoints, face points.
  std::vector<Vec3> points;
  std::uniform_real_distribution<double> unit(0, 1);
  for (const AmfObject& o : world) {
    const Vec3 lo = o.bbox_min, size = o.bbox_max - o.bbox_min;
    for (int n = 0; n < 25000; ++n) {
      Vec3 p{lo.x + size.x * unit(gen), lo.y + size.y * unit(gen), lo.z + size.z * unit(gen)};
      if (n % 10 == 0) p[n % 3] = n % 20 ? o.bbox_min[n % 3] : o.bbox_max[n % 3];
      points.push_back(p);
    }
    for (const Vec3& v : o.vertices) points.insert(points.end(), {v, {std::nextafter(v.x, 1e9), v.y, std::nextafter(v.z, -1e9)}});
    for (const Triangle& t : o.triangles) {
      const double r = unit(gen), s = unit(gen) * (1 - r);
      points.insert(points.end(), {0.5 * (t.a + t.b), 0.5 * (t.c + t.b), t.a + r * (t.b - t.a) + s * (t.c - t.a)});
    }
  }
  ASSERT_GE(points.size(), 100000u);
  long differences = 0, inside = 0;
  for (const Vec3& p : points) {
    const int fast = findContainingObjectIndex(world, p);
    differences += fast != findContainingObjectIndexFullScan(world, p);
    inside += fast >= 0;
  }
  EXPECT_EQ(differences, 0);
  EXPECT_GT(inside, 10000);
}

TEST(ObjectPasses, VoltageAndMagnetisationGoToTheNodesOfNamedObjects) {
  World world(9, 9, 9);
  world.grid.setExtents({0, 0, 0}, {2, 2, 2});  // 0.25 m spacing
  // The electrode has mesh nodes on its faces; the magnet overlaps it.
  const std::vector<AmfObject> objects = objectsOf({boxMesh("electrode", {0.5, 0.5, 0.5}, {1.0, 1.5, 1.0}),
                                                    sphereMesh("magnet", {1.3, 1.3, 1.3}, 0.6, 2),
                                                    boxMesh("ignored", {1.6, 0.1, 0.1}, {1.9, 0.4, 0.4})});
  world.phi(0, 0, 0) = 7.0;  // untouched values stay
  testing::internal::CaptureStdout();
  amfread_voltage(world, objects, {{"electrode", -12.5}, {"nowhere", 3.0}}, 3);
  amfread_magvector(world, objects, {{"magnet", {0, 0, 8e5}}}, 3);
  testing::internal::GetCapturedStdout();  // the lines are pinned by the reference run's console
  int nodes[2] = {0, 0};  // of electrode, magnet
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < 9; ++k) {
        const int owner = findContainingObjectIndexFullScan(objects, {0.25 * i, 0.25 * j, 0.25 * k});
        if (owner == 0 || owner == 1) ++nodes[owner];
        EXPECT_EQ(world.object_id(i, j, k), owner == 0 ? 1 : 0) << i << j << k;
        EXPECT_EQ(world.phi(i, j, k), owner == 0 ? -12.5 : (i + j + k == 0 ? 7.0 : 0.0)) << i << j << k;
        EXPECT_EQ(world.M(i, j, k), (owner == 1 ? Vec3{0, 0, 8e5} : Vec3{})) << i << j << k;
      }
  EXPECT_TRUE(nodes[0] > 8 && nodes[1] > 8);
  EXPECT_EQ(world.object_id(4, 4, 4), 0);  // nearer the magnet's first vertex than the electrode's

  World empty(0, 3, 3);  // no nodes: nothing to do, nothing to break
  testing::internal::CaptureStdout();
  amfread_voltage(empty, objects, {{"electrode", 1.0}}, 2);
  amfread_magvector(empty, objects, {{"electrode", {1, 0, 0}}}, 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "amfread_voltage\n\namfread_magvector\n\n");
}
