// Containment queries against the full scan, the clear cells that skip them,
// closed surfaces, and the object passes onto the mesh.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "geometry/isClosedSurface.h"
#include "geometry/objectOutside.h"
#include "geometry/objectPasses.h"
#include "testMeshes.h"

using namespace plasmabox;

namespace {

NamedMesh withoutLastTriangle(NamedMesh m) {
  m.mesh.triangles.pop_back();
  return m;
}

// Points where the ray vote is most fragile: on and just off vertices, edges,
// faces and cell bounds.
void addAdversarialPoints(const std::vector<AmfObject>& objects, const Grid& g, std::mt19937& gen,
                          std::vector<Vec3>& points) {
  std::uniform_real_distribution<double> unit(0.0, 1.0), sign(-1.0, 1.0);
  const double offsets[] = {0.0, 1e-15, 1e-12, 1e-9, 1e-7, 1e-5};
  for (const AmfObject& o : objects)
    for (const Triangle& t : o.triangles) {
      const Vec3 n = cross(t.b - t.a, t.c - t.a);
      const double length = std::sqrt(dot(n, n));
      const Vec3 normal = length > 0 ? (1.0 / length) * n : Vec3{0, 0, 1};
      const double r = unit(gen), s = unit(gen) * (1 - r);
      const Vec3 on_face = t.a + r * (t.b - t.a) + s * (t.c - t.a);
      const Vec3 on_edge = t.a + unit(gen) * (t.b - t.a);
      const double d = offsets[gen() % 6] * (gen() % 2 ? 1 : -1);
      points.insert(points.end(), {on_face + d * normal, on_edge + d * normal, 0.5 * (t.a + t.c) - d * normal,
                                   t.a + Vec3{d * sign(gen), d * sign(gen), d * sign(gen)},
                                   {std::nextafter(t.b.x, 1.0), t.b.y, std::nextafter(t.b.z, -1.0)}});
    }
  // Node positions and part corners: the bounds the lookup rounds at.
  for (int n = 0; n < 20000; ++n) {
    Vec3 p;
    for (int a = 0; a < 3; ++a)
      p[a] = g.x0[a] + (static_cast<double>(gen() % static_cast<unsigned>(g.nn[a] - 1)) + (gen() % 8) / 8.0) * g.dh[a];
    points.push_back(p);
  }
}

// A closed "table": a slab whose underside is 800 triangles too small for the
// ray test, and a foot slab below. From between them the three climbing rays
// hit only the top, so the query puts the point inside though it lies
// outside; the shadow of the hidden underside must not be cleared.
NamedMesh table(double L, int m) {
  NamedMesh t{"table", {}};
  auto& v = t.mesh.vertices;
  auto& f = t.mesh.triangles;
  const double step = L / m;
  const auto under = [m](int i, int j) { return static_cast<uint32_t>(i * (m + 1) + j); };
  for (int i = 0; i <= m; ++i)
    for (int j = 0; j <= m; ++j) v.push_back({i * step, j * step, 0.5 * L});
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j)
      f.insert(f.end(), {{under(i, j), under(i + 1, j), under(i + 1, j + 1)}, {under(i, j), under(i + 1, j + 1), under(i, j + 1)}});
  const auto top = static_cast<uint32_t>(v.size());  // corners top .. top + 3, counter-clockwise from the origin
  v.insert(v.end(), {{0, 0, 0.6 * L}, {L, 0, 0.6 * L}, {L, L, 0.6 * L}, {0, L, 0.6 * L}});
  f.insert(f.end(), {{top, top + 1, top + 2}, {top, top + 2, top + 3}});
  // Each side fans from its first top corner over the underside's border along it, corner to corner.
  const auto border = [&](int side, int s) {
    return side == 0 ? under(s, 0) : side == 1 ? under(m, s) : side == 2 ? under(m - s, m) : under(0, m - s);
  };
  for (int side = 0; side < 4; ++side) {
    for (int s = 0; s < m; ++s) f.push_back({top + side, border(side, s), border(side, s + 1)});
    f.push_back({top + side, border(side, m), top + (side + 1) % 4});
  }
  const NamedMesh foot = boxMesh("foot", {0, 0, 0}, {L, L, 0.1 * L});
  const auto base = static_cast<uint32_t>(v.size());
  v.insert(v.end(), foot.mesh.vertices.begin(), foot.mesh.vertices.end());
  for (const auto& tri : foot.mesh.triangles) f.push_back({base + tri[0], base + tri[1], base + tri[2]});
  return t;
}

// Rings, boxes on cell bounds, a thin plate, nested and open boxes, the table.
TEST(ClearCells, AClearPartNeverHoldsAPointTheQueryPutsInAnObject) {
  const double L = 1e-3;
  const struct {
    const char* scene;
    std::vector<NamedMesh> meshes;
    Grid grid;
    double min_reach;            // least share of the random points outside all objects that must be clear
    Vec3 hidden = {NAN, 0, 0};  // a point outside the objects that the rays put in object 0 (NaN: none)
  } cases[] = {
      {"body and rings",
       {sphereMesh("Body", {0.05, 0.05, 0.05}, 0.02, 4), ringMesh("e1", {0.024, 0.05, 0.05}, 0.024, 0.03, 0.002, 64),
        ringMesh("e2", {0.076, 0.05, 0.05}, 0.024, 0.03, 0.002, 64)},
       cube(41, 0.0, 0.1), 0.97},
      {"boxes on cell bounds",
       {boxMesh("a", {0.25, 0.25, 0.25}, {0.5, 0.75, 0.5}), boxMesh("b", {0.5, 0.125, 0.5}, {0.875, 0.375, 0.625}, 5)},
       cube(9, 0.0, 1.0), 0.85},
      {"thin plate and nested boxes",
       {boxMesh("plate", {0.1, 0.1, 0.5}, {0.9, 0.9, 0.5 + 1e-4}), boxMesh("outer", {0.2, 0.2, 0.6}, {0.8, 0.8, 0.9}, 3),
        boxMesh("inner", {0.3, 0.3, 0.7}, {0.6, 0.6, 0.8})},
       cube(13, 0.0, 1.0), 0.8},
      {"open box", {withoutLastTriangle(boxMesh("open", {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7}))}, cube(11, 0.0, 1.0), 0.5},
      {"table with a hidden underside", {table(L, 20)}, cube(15, -0.2 * L, 1.2 * L), 0.5, {0.2 * L, 0.2 * L, 0.3 * L}},
  };
  std::mt19937 gen(2024);
  long total = 0;
  for (const auto& c : cases) {
    const std::vector<AmfObject> objects = objectsOf(c.meshes);
    const ClearCells clear = findClearCells(c.grid, objects, 2);
    ASSERT_TRUE(clear.usable) << c.scene;
    const std::size_t random = 300000;  // then the adversarial points
    std::vector<Vec3> points(random);
    std::uniform_real_distribution<double> x(c.grid.x0.x, c.grid.xm.x);
    for (Vec3& p : points) p = {x(gen), x(gen), x(gen)};
    addAdversarialPoints(objects, c.grid, gen, points);
    long wrong = 0, outside = 0, cleared = 0;  // outside and cleared: among the random points, the fast path's reach
    for (std::size_t n = 0; n < points.size(); ++n) {
      const bool in_clear = inClearPart(clear, points[n]);
      const int owner = findContainingObjectIndex(objects, points[n]);
      wrong += in_clear && owner >= 0;
      if (n < random) outside += owner < 0, cleared += in_clear;
    }
    EXPECT_EQ(wrong, 0) << c.scene;  // a clear part never holds a point the query puts in an object
    EXPECT_GT(static_cast<double>(cleared), c.min_reach * static_cast<double>(outside)) << c.scene;
    total += static_cast<long>(points.size());
    if (std::isnan(c.hidden.x)) continue;
    EXPECT_TRUE(isClosedSurface(objects[0].triangles)) << c.scene;  // else it would never be cleared inside its box
    EXPECT_EQ(findContainingObjectIndex(objects, c.hidden), 0) << c.scene;  // the rays' verdict, not the geometry's
    EXPECT_FALSE(inClearPart(clear, c.hidden)) << c.scene;
  }
  EXPECT_GT(total, 1500000);
}

TEST(ClearCells, NothingIsClearWithoutAUsableGridOrWithANaNBox) {
  const std::vector<AmfObject> body = objectsOf({boxMesh("b", {0.3, 0.3, 0.3}, {0.6, 0.6, 0.6})});
  std::vector<AmfObject> nan_box = body;
  nan_box[0].bbox_max.y = NAN;
  const struct {
    const char* what;
    Grid grid;
    std::vector<AmfObject> objects;
    bool usable;
  } cases[] = {
      {"one node along an axis", Grid(1, 5, 5), body, false},
      {"NaN box", cube(5, 0.0, 1.0), nan_box, false},
      {"no objects", cube(5, 0.0, 1.0), {}, true},
  };
  for (const auto& c : cases) {
    const ClearCells clear = findClearCells(c.grid, c.objects, 2);
    EXPECT_EQ(clear.usable, c.usable) << c.what;
    EXPECT_EQ(inClearPart(clear, {0.9, 0.9, 0.9}), c.usable) << c.what;
    for (const Vec3& p : {Vec3{NAN, 0.5, 0.5}, Vec3{-0.5, 0.5, 0.5}, Vec3{0.5, INFINITY, 0.5}})
      EXPECT_FALSE(inClearPart(clear, p)) << c.what;  // off the mesh or not a number: the query decides
  }
}

// Far from the origin the proof's margin spans many cells (10^8 pairs, minutes
// and gigabytes): past the budget nothing is proved and the query decides.
TEST(ObjectOutside, NothingIsProvedWhenTheTrianglesWouldMeetTooManyCells) {
  const Grid g = cube(21, 0.0, 1.0);
  const AmfObject sphere = toObject(sphereMesh("s", {0.5, 0.5, 0.5}, 0.3, 2));
  const ObjectOutside full = objectOutside(g, sphere, {1e-9, 1e-9, 1e-9}, std::size_t{1} << 22, 1);
  ASSERT_TRUE(full.known);
  std::size_t region = full.region.count(), pairs = 0;  // pairs: at most what the rule counts
  for (const Triangle& t : sphere.triangles) {
    std::size_t n = 1;
    for (int a = 0; a < 3; ++a) {
      const double lo = std::min({t.a[a], t.b[a], t.c[a]}), hi = std::max({t.a[a], t.b[a], t.c[a]});
      n *= static_cast<std::size_t>(std::floor(hi * 20) - std::floor(lo * 20) + 3);  // and a cell either side
    }
    pairs += n;
  }
  ASSERT_GT(pairs, region);  // a budget between the two tells the rules apart
  EXPECT_FALSE(objectOutside(g, sphere, {1e-9, 1e-9, 1e-9}, region + 1, 1).known);
  EXPECT_TRUE(objectOutside(g, sphere, {1e-9, 1e-9, 1e-9}, 64 * pairs, 1).known);
}

TEST(IsClosedSurface, EveryEdgeMustBelongToAnEvenNumberOfTriangles) {
  const std::vector<Triangle> box = toObject(boxMesh("b", {0, 0, 0}, {1, 1, 1})).triangles;
  const auto plus = [&](std::vector<Triangle> more) {
    more.insert(more.begin(), box.begin(), box.end());
    return more;
  };
  std::vector<Triangle> signed_zero = box, nan_corner = box;  // -0 is the same corner as 0
  for (Triangle& t : signed_zero)
    for (Vec3* v : {&t.a, &t.b, &t.c}) v->x = v->x == 0.0 ? -0.0 : v->x;
  nan_corner[0].a.y = NAN;
  // The face z = 1 split at a point on an edge.
  std::vector<Triangle> t_junction = plus({{{0, 0, 1}, {0.5, 0, 1}, {1, 1, 1}}, {{0.5, 0, 1}, {1, 0, 1}, {1, 1, 1}},
                                           {{0, 0, 1}, {1, 1, 1}, {0, 1, 1}}});
  t_junction.erase(t_junction.begin() + 2, t_junction.begin() + 4);
  const struct {
    const char* what;
    std::vector<Triangle> triangles;
    bool closed;
  } cases[] = {
      {"box", box, true},
      {"box without a triangle", {box.begin(), box.end() - 1}, false},
      {"two boxes", plus(toObject(boxMesh("c", {2, 0, 0}, {3, 1, 1})).triangles), true},
      {"box and a degenerate triangle", plus({{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}}), true},  // its edges pair with each other
      {"signed zeros", signed_zero, true},
      {"T-junction", t_junction, false},
      {"NaN corner", nan_corner, false},
      {"no triangles", {}, false},
  };
  for (const auto& c : cases) EXPECT_EQ(isClosedSurface(c.triangles), c.closed) << c.what;
}

TEST(Containment, ClosedMeshesInsideOutsideOnTheSurfaceAndNested) {
  const std::vector<AmfObject> world =
      objectsOf({boxMesh("cube", {0, 0, 0}, {1, 1, 1}), sphereMesh("sphere", {3, 0.5, 0.5}, 1.0, 3)});
  for (const auto& [p, expected] : {std::pair{Vec3{0.5, 0.5, 0.5}, 0}, {Vec3{3.9, 0.5, 0.5}, 1},
                                    {Vec3{1.5, 0.5, 0.5}, -1}, {Vec3{3.99, 1.49, 1.4}, -1}, {Vec3{NAN, 0.5, 0.5}, -1}})
    EXPECT_EQ(findContainingObjectIndex(world, p), expected) << p.x << " " << p.y << " " << p.z;
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
NamedMesh adversarialSoup(std::mt19937& gen, int count) {
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
}

}  // namespace
