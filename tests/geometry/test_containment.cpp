// The point-in-object query: the ray-triangle test, the vote on closed meshes,
// the nearest-first-vertex rule, and the ray index against the full scan.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "geometry/containment.h"
#include "geometry/rayHitsTriangle.h"
#include "testMeshes.h"

namespace {

void addObjects(World& world, const std::vector<IndexedMesh>& meshes) {
  for (const IndexedMesh& m : meshes) world.objects.push_back(toObject(m));
}

}  // namespace

TEST(RayHitsTriangle, BoundsAreInclusiveOnTheTriangleSide) {
  // Triangle in the plane z = 1; rays straight up unless stated.
  const Vec3 a{0, 0, 1}, b{1, 0, 1}, c{0, 1, 1}, up{0, 0, 1};
  const struct {
    const char* label;
    Vec3 origin, direction;
    bool hit;
  } cases[] = {
      {"interior", {0.25, 0.25, 0}, up, true},
      {"outside", {0.75, 0.75, 0}, up, false},
      {"edge u = 0", {0, 0.5, 0}, up, true},
      {"edge v = 0", {0.5, 0, 0}, up, true},
      {"edge u + v = 1", {0.5, 0.5, 0}, up, true},
      {"corner", {1, 0, 0}, up, true},
      {"just outside an edge", {-1e-12, 0.5, 0}, up, false},
      {"triangle behind the origin", {0.25, 0.25, 2}, up, false},
      {"origin on the triangle (t = 0)", {0.25, 0.25, 1}, up, false},
      {"t just above the tolerance", {0.25, 0.25, 1 - 2e-8}, up, true},
      {"t below the tolerance", {0.25, 0.25, 1 - 0.5e-8}, up, false},
      {"parallel ray", {0.25, 0.25, 1}, {1, 0, 0}, false},
      {"slanted fixed direction", {0, 0, 0}, RAY_DIRECTIONS[1], true},
  };
  for (const auto& c_ : cases) EXPECT_EQ(rayHitsTriangle(c_.origin, a, b, c, c_.direction), c_.hit) << c_.label;
  // Tiny triangles have |det| below 1e-8 for every direction: never hit.
  EXPECT_FALSE(rayHitsTriangle({0, 0, 0}, {0, 0, 1}, {1e-5, 0, 1}, {0, 1e-5, 1}, up));
}

TEST(Containment, ClosedMeshesInsideOutsideAndOnTheSurface) {
  World world(2, 2, 2);
  addObjects(world, {boxMesh("cube", {0, 0, 0}, {1, 1, 1}),
                                 sphereMesh("sphere", {3, 0.5, 0.5}, 1.0, 3)});
  const struct {
    Vec3 p;
    int expected;  // -2: only checked against the full scan
  } cases[] = {
      {{0.5, 0.5, 0.5}, 0},     {{0.1, 0.9, 0.2}, 0},  {{3, 0.5, 0.5}, 1},    {{3.9, 0.5, 0.5}, 1},
      {{1.5, 0.5, 0.5}, -1},    {{-0.1, 0.5, 0.5}, -1}, {{3.99, 1.49, 1.4}, -1}, {{10, 10, 10}, -1},
      {{0.5, 0.5, 0}, -2},      {{0.5, 1, 0.5}, -2},   {{0, 0, 0.5}, -2},     {{1, 1, 0.5}, -2},
      {{0, 0, 0}, -2},          {{1, 1, 1}, -2},       {{1, 0, 1}, -2},       {{0.5, 0.5, 1}, -2},
      {{NAN, 0.5, 0.5}, -1},    {{INFINITY, 0.5, 0.5}, -1},
  };
  for (const auto& c : cases) {
    const int fast = findContainingObjectIndex(world, c.p);
    EXPECT_EQ(fast, findContainingObjectIndexFullScan(world, c.p)) << c.p.x << " " << c.p.y << " " << c.p.z;
    if (c.expected != -2) {
      EXPECT_EQ(fast, c.expected) << c.p.x << " " << c.p.y << " " << c.p.z;
    }
  }
  // Inside a closed mesh every ray crosses an odd number of times, outside an even one.
  for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k) {
    EXPECT_EQ(countRayHits(world.objects[0], {0.3, 0.6, 0.45}, k) % 2, 1);
    EXPECT_EQ(countRayHits(world.objects[1], {2.2, 0.1, 0.3}, k) % 2, 1);
    EXPECT_EQ(countRayHits(world.objects[0], {1.3, 0.6, 0.45}, k) % 2, 0);
  }
  EXPECT_EQ(findContainingObject(world, {0.5, 0.5, 0.5}), "cube");
  EXPECT_EQ(findContainingObject(world, {5, 5, 5}), "");
}

TEST(Containment, NestedObjectsGoToTheNearestFirstVertex) {
  // Outer cube lists its corner (3, 3, 3) first, the inner one (1, 1, 1).
  World world(2, 2, 2);
  addObjects(world, {boxMesh("outer", {0, 0, 0}, {3, 3, 3}, 7), boxMesh("inner", {1, 1, 1}, {2.5, 2.5, 2.5}),
                                 boxMesh("twin", {0, 0, 0}, {3, 3, 3}, 7)});
  EXPECT_EQ(findContainingObject(world, {1.2, 1.2, 1.2}), "inner");   // 0.35 m from inner's first vertex
  EXPECT_EQ(findContainingObject(world, {2.4, 2.4, 2.4}), "outer");   // inside both, outer's vertex nearer
  EXPECT_EQ(findContainingObject(world, {0.5, 2.9, 0.5}), "outer");   // twin ties and comes later
  EXPECT_EQ(findContainingObject(world, {1, 1, 1}), "inner");         // at the first vertex, vote permitting
  EXPECT_EQ(findContainingObjectIndexFullScan(world, {1, 1, 1}), 1);
  // Objects without triangles contain nothing, whatever their box.
  World bare(2, 2, 2);
  AmfObject shell = toObject(boxMesh("shell", {0, 0, 0}, {1, 1, 1}));
  shell.triangles.clear();
  bare.objects.push_back(shell);
  EXPECT_EQ(findContainingObjectIndex(bare, {0.5, 0.5, 0.5}), -1);
  EXPECT_EQ(findContainingObjectIndexFullScan(bare, {0.5, 0.5, 0.5}), -1);
}

// A mesh that is not closed and has slivers nearly parallel to each ray
// direction: the cases where rounding decides a hit and padding matters.
IndexedMesh adversarialSoup(std::mt19937& gen, int count) {
  std::uniform_real_distribution<double> u(-1, 1);
  std::uniform_int_distribution<int> pick(0, NUM_RAY_DIRECTIONS - 1);
  IndexedMesh m{"soup", {}, {}};
  for (int n = 0; n < count; ++n) {
    const Vec3 a{u(gen), u(gen), u(gen)};
    Vec3 b{a.x + u(gen), a.y + u(gen), a.z + u(gen)};
    Vec3 c{a.x + u(gen), a.y + u(gen), a.z + u(gen)};
    if (n % 2 == 0) {  // e1 almost along a ray direction: |det| near the tolerance
      const double tilt = std::pow(10.0, -3 - 6 * (u(gen) + 1) / 2);
      b = a + 2.0 * RAY_DIRECTIONS[pick(gen)] + tilt * Vec3{u(gen), u(gen), u(gen)};
    }
    const int base = static_cast<int>(m.vertices.size());
    m.vertices.insert(m.vertices.end(), {a, b, c});
    m.triangles.push_back({base, base + 1, base + 2});
  }
  return m;
}

TEST(Containment, RayIndexCountsExactlyWhatTheFullScanCounts) {
  std::mt19937 gen(12345);
  std::vector<IndexedMesh> meshes = {sphereMesh("sphere", {0.1, -0.2, 0.3}, 0.9, 2),
                                     boxMesh("cube", {-0.5, -0.5, -0.5}, {0.25, 0.5, 0.75}),
                                     sphereMesh("far", {880.0, 810.0, 3.0}, 5.0, 2), adversarialSoup(gen, 300)};
  World world(2, 2, 2);
  addObjects(world, meshes);
  std::vector<Vec3> points;
  std::uniform_real_distribution<double> unit(0, 1);
  for (const AmfObject& o : world.objects) {
    const Vec3 lo = o.bbox_min, size = o.bbox_max - o.bbox_min;
    for (int n = 0; n < 22000; ++n)
      points.push_back({lo.x + size.x * unit(gen), lo.y + size.y * unit(gen), lo.z + size.z * unit(gen)});
    for (const Vec3& v : o.vertices) {
      points.push_back(v);
      points.push_back({std::nextafter(v.x, 1e9), v.y, std::nextafter(v.z, -1e9)});
    }
    for (const Triangle& t : o.triangles) {
      points.push_back(0.5 * (t.a + t.b));
      points.push_back(0.5 * (t.c + t.b));
      const double r = unit(gen), s = unit(gen) * (1 - r);
      points.push_back(t.a + r * (t.b - t.a) + s * (t.c - t.a));
    }
    for (int n = 0; n < 3000; ++n) {  // on the faces of the box
      Vec3 p{lo.x + size.x * unit(gen), lo.y + size.y * unit(gen), lo.z + size.z * unit(gen)};
      const int axis = n % 3;
      p[axis] = n % 2 ? o.bbox_min[axis] : o.bbox_max[axis];
      points.push_back(p);
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
  // Per-ray counts are a stricter check than the vote, which three rays decide.
  long count_differences = 0;
  for (std::size_t n = 0; n < points.size(); n += 7)
    for (const AmfObject& o : world.objects) {
      const Vec3& p = points[n];
      if (p.x < o.bbox_min.x || p.y < o.bbox_min.y || p.z < o.bbox_min.z || p.x > o.bbox_max.x ||
          p.y > o.bbox_max.y || p.z > o.bbox_max.z)
        continue;
      for (int k = 0; k < NUM_RAY_DIRECTIONS; ++k)
        count_differences += countRayHitsIndexed(o, p, k) != countRayHits(o, p, k);
    }
  EXPECT_EQ(count_differences, 0);
}
