// The first-hit ray query: the tree against a scan of every triangle, known
// hits, rays through shared edges and corners, rays leaving a surface, and
// degenerate triangles and input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "geometry/firstHit.h"
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

// Triangles of random size and shape, a third of them slivers nearly in the
// plane of an axis, some of them degenerate (a repeated corner or three corners
// on a line).
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

// The hit test against the plane intersection computed another way (in long
// double, from the plane equation): where the ray passes clearly inside or
// outside a triangle, both agree on the hit and the parameter.
TEST(FirstHit, HitTestAgreesWithThePlaneIntersection) {
  std::mt19937 gen(99);
  std::uniform_real_distribution<double> u(-1, 1);
  int compared = 0, inside = 0;
  for (int n = 0; n < 200000; ++n) {
    const Vec3 a{u(gen), u(gen), u(gen)}, b{u(gen), u(gen), u(gen)}, c{u(gen), u(gen), u(gen)};
    const Vec3 o{2 * u(gen), 2 * u(gen), 2 * u(gen)}, d = randomUnit(gen);
    using L = long double;
    const L e1[3] = {L(b.x) - a.x, L(b.y) - a.y, L(b.z) - a.z}, e2[3] = {L(c.x) - a.x, L(c.y) - a.y, L(c.z) - a.z};
    const L nrm[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
    const L nd = nrm[0] * d.x + nrm[1] * d.y + nrm[2] * d.z;
    const L nn = nrm[0] * nrm[0] + nrm[1] * nrm[1] + nrm[2] * nrm[2];
    if (std::fabs(nd) < 1e-3L * std::sqrt(nn)) continue;  // nearly parallel: the parameter is ill-conditioned
    const L t = (nrm[0] * (L(a.x) - o.x) + nrm[1] * (L(a.y) - o.y) + nrm[2] * (L(a.z) - o.z)) / nd;
    const L p[3] = {o.x + t * d.x - a.x, o.y + t * d.y - a.y, o.z + t * d.z - a.z};
    // Barycentric weights of the plane point, from (x cross y) . normal.
    const auto along = [&](const L x[3], const L y[3]) {
      return (nrm[0] * (x[1] * y[2] - x[2] * y[1]) + nrm[1] * (x[2] * y[0] - x[0] * y[2]) +
              nrm[2] * (x[0] * y[1] - x[1] * y[0])) /
             nn;
    };
    const L wb = along(p, e2), wc = along(e1, p);  // p = wb e1 + wc e2
    const L wa = 1 - wb - wc;
    const L margin = std::min({wa, wb, wc});
    if (std::fabs(margin) < 1e-9L || std::fabs(t) < 1e-9L) continue;
    const bool expected = margin > 0 && t > 0;
    const double at[3] = {a.x, a.y, a.z}, bt[3] = {b.x, b.y, b.z}, ct[3] = {c.x, c.y, c.z};
    const RayQuery q = makeRayQuery(o, d, INF, 1.0);
    const double got = watertightHit(q, at, bt, ct);
    ASSERT_EQ(got >= 0.0, expected) << n;
    if (expected) {
      EXPECT_NEAR(got * q.t_scale, static_cast<double>(t), 1e-9 * static_cast<double>(std::max(1.0L, std::fabs(t))))
          << n;
    }
    ++compared;
    inside += expected;
  }
  EXPECT_GT(compared, 100000);
  EXPECT_GT(inside, 1000);
}

// A closed surface has no holes for rays: from inside, every ray meets it,
// also those aimed exactly at a corner or at the middle of an edge shared by
// two triangles, and those that run in an axis plane through the cube's edges.
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

// Rays leaving a surface start surfaceOffset(scene) above it. On a convex
// body no such ray meets anything, down to rays grazing the surface, also far
// from the origin where coordinates carry large rounding.
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
  const auto good = firstHitRay(scene, {0.25, 0.25, 5}, {0, 0, -1});
  ASSERT_TRUE(good.has_value());
  EXPECT_EQ(good->object, 1);
  EXPECT_EQ(good->triangle, 3);
  EXPECT_EQ(good->t, 4.0);
  const auto corner = firstHitRay(scene, {0, 0, 5}, {0, 0, -1});  // past the good one's corner to the point
  ASSERT_TRUE(corner.has_value());
  EXPECT_EQ(corner->triangle, 3);
  EXPECT_EQ(corner->t, 4.0);
  const auto edge = firstHitRay(scene, {0.5, 0, -5}, {0, 0, 1});  // through the line, then the good one's edge
  ASSERT_TRUE(edge.has_value());
  EXPECT_EQ(edge->triangle, 3);
  EXPECT_EQ(edge->t, 6.0);
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

// Whether nodes hold their items is settled by the comparison with the full
// scan above; here: every item once, and the depth on a lopsided input.
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
