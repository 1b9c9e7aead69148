// The first-hit ray query against a full scan, known hits and hostile rays; outward normals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>

#include "geometry/firstHit.h"
#include "geometry/outwardNormals.h"
#include "geometry/watertightHit.h"
#include "testMeshes.h"

using namespace plasmabox;

namespace {

const double INF = std::numeric_limits<double>::infinity();

Vec3 randomUnit(std::mt19937& gen) {
  std::normal_distribution<double> g(0.0, 1.0);
  for (;;) {
    const Vec3 v{g(gen), g(gen), g(gen)};
    const double n = std::sqrt(dot(v, v));
    if (n > 1e-6) return (1.0 / n) * v;
  }
}

// Random triangles, a third of them slivers, some degenerate.
NamedMesh triangleSoup(std::mt19937& gen, int count) {
  std::uniform_real_distribution<double> u(-1, 1);
  NamedMesh m{"soup", {}};
  for (int n = 0; n < count; ++n) {
    const Vec3 a{u(gen), u(gen), u(gen)};
    Vec3 b = a + Vec3{u(gen), u(gen), u(gen)};
    Vec3 c = a + Vec3{u(gen), u(gen), u(gen)};
    if (n % 3 == 0) c[n % 2] = a[n % 2] + 1e-9 * u(gen), b[n % 2] = a[n % 2];
    if (n % 17 == 0) c = b;
    if (n % 19 == 0) c = a + 0.5 * (b - a);
    const auto base = static_cast<uint32_t>(m.mesh.vertices.size());
    m.mesh.vertices.insert(m.mesh.vertices.end(), {a, b, c});
    m.mesh.triangles.push_back({base, base + 1, base + 2});
  }
  return m;
}

bool sameHit(const std::optional<SurfaceHit>& x, const std::optional<SurfaceHit>& y) {
  if (x.has_value() != y.has_value()) return false;
  return !x || (x->object == y->object && x->triangle == y->triangle && x->t == y->t && x->point == y->point);
}

}  // namespace

TEST(FirstHit, TreeGivesExactlyWhatTheFullScanGives) {
  std::mt19937 gen(2024);
  const std::vector<AmfObject> objects =
      objectsOf({sphereMesh("sphere", {0.1, -0.2, 0.3}, 0.9, 3), boxMesh("cube", {-0.5, -0.5, -0.5}, {0.25, 0.5, 0.75}),
                 ringMesh("ring", {0.3, 0.0, 0.0}, 0.6, 1.2, 0.1, 64), triangleSoup(gen, 300)});
  const SceneTriangles scene = buildSceneTriangles(objects);
  ASSERT_EQ(scene.triangles.size(), 1280u + 12u + 512u + 300u);
  std::uniform_real_distribution<double> u(-1.6, 1.6);
  std::uniform_int_distribution<std::size_t> pick(0, objects[0].vertices.size() - 1);
  std::uniform_int_distribution<std::size_t> side(0, objects[1].triangles.size() - 1);
  long hits = 0, rays = 0, differences = 0;
  for (int n = 0; n < 40000; ++n) {
    const Vec3 origin{u(gen), u(gen), u(gen)};
    Vec3 direction = randomUnit(gen);
    if (n % 5 == 1) direction[n % 3] = 0.0;                               // parallel to an axis plane
    if (n % 5 == 2) direction = objects[0].vertices[pick(gen)] - origin;  // through a corner
    if (n % 5 == 3) {                                                     // through an edge of the cube
      const Triangle& t = objects[1].triangles[side(gen)];
      direction = (n % 2 ? 0.5 * (t.a + t.b) : 0.5 * (t.a + t.c)) - origin;
    }
    const double length = n % 2 ? 0.02 : 3.0;  // a step, or across the scene
    const Vec3 end = origin + length * direction;
    const auto segment = firstHitSegment(scene, origin, end);
    const auto ray = firstHitRay(scene, origin, direction);
    differences += !sameHit(segment, firstHitFullScan(scene, origin, end - origin, 1.0));
    differences += !sameHit(ray, firstHitFullScan(scene, origin, direction, INF));
    differences += anyHitRay(scene, origin, direction) != ray.has_value();
    differences +=
        anyHitRay(scene, origin, direction, 0.5) != firstHitFullScan(scene, origin, direction, 0.5).has_value();
    hits += ray.has_value() + segment.has_value();
    rays += 2;
  }
  EXPECT_EQ(differences, 0);
  EXPECT_GT(hits, rays / 4);
}

TEST(FirstHit, KnownHitsOnACube) {
  const SceneTriangles scene = buildSceneTriangles(objectsOf({boxMesh("cube", {0, 0, 0}, {1, 1, 1})}));
  const struct {
    Vec3 p0, p1;
    bool hit;
    double t;
    Vec3 point;
  } cases[] = {
      {{-1, 0.5, 0.25}, {3, 0.5, 0.25}, true, 0.25, {0, 0.5, 0.25}},  // through face x = 0
      {{0.5, 0.5, 0.5}, {0.5, 0.5, 2.5}, true, 0.25, {0.5, 0.5, 1}},  // from inside out through z = 1
      {{-1, 0.5, 0.5}, {-0.1, 0.5, 0.5}, false, 0, {}},               // stops short
      {{0, 0.5, 0.5}, {-1, 0.5, 0.5}, true, 0.0, {0, 0.5, 0.5}},      // starts on the surface
      {{-1, 0, 0.5}, {1, 0, 0.5}, true, 0.5, {0, 0, 0.5}},            // along the plane y = 0: meets the edge
      {{-1, -1, -1}, {1, 1, 1}, true, 0.5, {0, 0, 0}},                // through the corner
      {{-1, 1.5, 0.5}, {2, 1.5, 0.5}, false, 0, {}},                  // beside the cube
  };
  for (const auto& c : cases) {
    const auto hit = firstHitSegment(scene, c.p0, c.p1);
    ASSERT_EQ(hit.has_value(), c.hit) << c.p0.x << " " << c.p0.y << " " << c.p0.z;
    if (!hit) continue;
    EXPECT_NEAR(hit->t, c.t, 1e-15);
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(hit->point[a], c.point[a], 1e-15);
    EXPECT_EQ(hit->object, 0);
  }
  // The ray parameter is in units of the given direction, whatever its length.
  EXPECT_NEAR(firstHitRay(scene, {-1, 0.5, 0.5}, {1e-3, 0, 0})->t, 1e3, 1e-9);
  EXPECT_NEAR(firstHitRay(scene, {-1, 0.5, 0.5}, {1e200, 0, 0})->t, 1e-200, 1e-212);
}

// A closed surface has no holes for rays from inside, even aimed at corners,
// shared edges, or along a face's plane.
TEST(FirstHit, RaysThroughSharedEdgesAndCornersAlwaysHit) {
  const Vec3 centre{880.0, 810.0, 3.0};  // far from the origin, as CAD files can be
  const std::vector<AmfObject> objects =
      objectsOf({sphereMesh("sphere", centre, 0.015, 3),
                 boxMesh("cube", centre + Vec3{0.1, 0, 0}, centre + Vec3{0.2, 0.1, 0.1})});
  const SceneTriangles scene = buildSceneTriangles(objects);
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(-0.5, 0.5);
  long misses = 0, rays = 0;
  for (std::size_t o = 0; o < objects.size(); ++o) {
    const AmfObject& object = objects[o];
    const Vec3 middle = 0.5 * (object.bbox_min + object.bbox_max);
    std::vector<Vec3> targets = object.vertices;
    for (const Triangle& t : object.triangles) targets.insert(targets.end(), {0.5 * (t.a + t.b), 0.5 * (t.b + t.c)});
    for (const Vec3& target : targets)
      for (int k = 0; k < 4; ++k) {
        const Vec3 size = object.bbox_max - object.bbox_min;
        const Vec3 from =
            k == 0 ? middle : middle + Vec3{0.5 * size.x * u(gen), 0.5 * size.y * u(gen), 0.5 * size.z * u(gen)};
        const auto hit = firstHitRay(scene, from, target - from);
        misses += !hit || hit->object != static_cast<int32_t>(o);
        ++rays;
      }
  }
  // Along the cube's faces: rays in the plane of a face, through its edges.
  const Vec3 lo = objects[1].bbox_min, hi = objects[1].bbox_max;
  for (int n = 0; n <= 10; ++n) {
    const double sy = lo.y + 0.1 * n * (hi.y - lo.y), sz = lo.z + 0.1 * n * (hi.z - lo.z);
    for (const Vec3& from : {Vec3{lo.x - 1, sy, lo.z}, Vec3{lo.x - 1, lo.y, sz}, Vec3{lo.x - 1, hi.y, sz}}) {
      misses += !firstHitRay(scene, from, {1, 0, 0});
      ++rays;
    }
  }
  EXPECT_EQ(misses, 0) << "of " << rays;
}

// Rays leaving a convex surface from surfaceOffset above it meet nothing,
// down to grazing ones, also far from the origin.
TEST(FirstHit, RaysLeavingASurfaceMissTheTriangleTheyLeave) {
  std::mt19937 gen(77);
  std::uniform_real_distribution<double> unit(0, 1);
  for (const Vec3 centre : {Vec3{0, 0, 0}, Vec3{880.0, 810.0, 3.0}}) {
    const std::vector<AmfObject> objects = objectsOf({sphereMesh("sphere", centre, 0.015, 2)});
    const SceneTriangles scene = buildSceneTriangles(objects);
    const double offset = surfaceOffset(scene);
    EXPECT_EQ(offset, 1e-9 * scene.scale);
    long hits = 0;
    for (const Triangle& t : objects[0].triangles) {
      Vec3 n = cross(t.b - t.a, t.c - t.a);
      n = (1.0 / std::sqrt(dot(n, n))) * n;
      if (dot(n, t.a - centre) < 0) n = -1.0 * n;
      for (int k = 0; k < 40; ++k) {
        const double r = unit(gen), s = unit(gen) * (1 - r);
        const Vec3 p = t.a + r * (t.b - t.a) + s * (t.c - t.a);
        // Directions from straight out to grazing at 1e-6 rad.
        const Vec3 along = randomUnit(gen);
        const Vec3 tangent = along - dot(along, n) * n;
        const double lift = std::pow(10.0, -6.0 * unit(gen));
        const Vec3 d = lift * n + (1.0 / std::sqrt(dot(tangent, tangent))) * tangent;
        hits += anyHitRay(scene, p + offset * n, d);
        hits += firstHitRay(scene, p + offset * n, d).has_value();
      }
    }
    EXPECT_EQ(hits, 0) << centre.x;
  }
}

TEST(FirstHit, DegenerateTrianglesAndBadInputHitNothing) {
  AmfObject odd;
  odd.triangles = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},    // a point
                   {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}},    // a line
                   {{0, 0, 0}, {NAN, 0, 0}, {0, 1, 0}},  // never made by the reader
                   {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}}};   // a good one
  const SceneTriangles scene = buildSceneTriangles(std::vector<AmfObject>{AmfObject{}, odd});
  EXPECT_EQ(scene.triangles.size(), 3u);
  // Straight down, past the good one's corner to the point, through the line to its edge.
  const struct {
    Vec3 from, direction;
    double t;
  } rays[] = {{{0.25, 0.25, 5}, {0, 0, -1}, 4.0}, {{0, 0, 5}, {0, 0, -1}, 4.0}, {{0.5, 0, -5}, {0, 0, 1}, 6.0}};
  for (const auto& r : rays) {
    const auto hit = firstHitRay(scene, r.from, r.direction);
    ASSERT_TRUE(hit.has_value()) << r.from.x;
    EXPECT_TRUE(hit->object == 1 && hit->triangle == 3 && hit->t == r.t) << r.from.x;
  }
  EXPECT_FALSE(firstHitRay(scene, {-1, 0, 0}, {1, 0, 0}).has_value());  // along the line
  for (const Vec3& b : {Vec3{NAN, 0, 0}, Vec3{0, -INF, 0}}) {
    EXPECT_FALSE(firstHitRay(scene, b + Vec3{0.25, 0.25, 5}, {0, 0, -1}).has_value());
    EXPECT_FALSE(firstHitSegment(scene, b + Vec3{0.25, 0.25, 5}, {0.25, 0.25, -5}).has_value());
    EXPECT_FALSE(firstHitSegment(scene, {0.25, 0.25, 5}, b + Vec3{0.25, 0.25, -5}).has_value());
  }
  for (const Vec3& d : {Vec3{NAN, 0, -1}, Vec3{0, INF, -1}, Vec3{0, 0, 0}}) {
    EXPECT_FALSE(firstHitRay(scene, {0.25, 0.25, 5}, d).has_value());
    EXPECT_FALSE(anyHitRay(scene, {0.25, 0.25, 5}, d));
  }
  EXPECT_FALSE(firstHitSegment(scene, {0.25, 0.25, 1}, {0.25, 0.25, 1}).has_value());  // on it, not moving
  EXPECT_FALSE(anyHitRay(scene, {0.25, 0.25, 5}, {0, 0, -1}, NAN));
  EXPECT_FALSE(anyHitRay(scene, {0.25, 0.25, 5}, {0, 0, -1}, -1.0));
  EXPECT_FALSE(firstHitRay(buildSceneTriangles({}), {0, 0, 0}, {1, 0, 0}).has_value());
}

// Every item once, and the depth on a lopsided input (the full scan settles the rest).
TEST(TriangleTree, HoldsEveryItemOnceWithinTheStackDepth) {
  // Centres at 2^-k pull the area heuristic towards one-sided splits.
  std::vector<AxisBox> boxes;
  std::vector<Vec3> centres;
  for (int k = 0; k < 3000; ++k) {
    const double x = std::ldexp(1.0, -(k % 600)), y = k % 7;
    boxes.push_back({{x, y, 0}, {2 * x, y + 1, 1}});
    centres.push_back({1.5 * x, y + 0.5, 0.5});
  }
  for (int k = 0; k < 50; ++k) boxes.push_back({{0, 0, 0}, {1, 1, 1}}), centres.push_back({0.5, 0.5, 0.5});
  const TriangleTree tree = buildTriangleTree(boxes, centres);
  std::vector<uint32_t> order = tree.order;
  std::sort(order.begin(), order.end());
  for (std::size_t n = 0; n < order.size(); ++n) ASSERT_EQ(order[n], n);
  // Children follow their parent in the node list, so one pass gives every depth.
  std::vector<int> depth(tree.nodes.size(), 0);
  int deepest = 0, largest_leaf = 0;
  for (std::size_t n = 0; n < tree.nodes.size(); ++n) {
    const TreeNode& node = tree.nodes[n];
    deepest = std::max(deepest, depth[n]);
    largest_leaf = std::max(largest_leaf, node.count);
    if (node.count == 0) depth[n + 1] = depth[static_cast<std::size_t>(node.first)] = depth[n] + 1;
  }
  EXPECT_GT(deepest, 24);  // the median splits below the heuristic's levels were needed
  EXPECT_LT(deepest, TREE_MAX_DEPTH);
  EXPECT_LE(largest_leaf, 8);

  EXPECT_THROW(buildTriangleTree(boxes, std::span<const Vec3>(centres).first(3)), std::invalid_argument);
  boxes[7].hi.y = NAN;
  EXPECT_THROW(buildTriangleTree(boxes, centres), std::invalid_argument);
  EXPECT_TRUE(buildTriangleTree({}, {}).nodes.empty());
}

// Outward normals from the corner order, repaired where triangles disagree,
// refused by name where no outward side exists.

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

// The outward normal of a triangle on a face of box [lo, hi].
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
