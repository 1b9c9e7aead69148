#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "meshFixtures.h"
#include "tools/amf/describeMesh.h"
#include "tools/amf/weldVertices.h"

namespace {

// Scaling comes before welding, one multiplication per coordinate; only
// bitwise equal corners (signed zeros included) become one vertex.
TEST(WeldVertices, ScaledEqualCornersBecomeOneVertexInOrderOfFirstUse) {
  const std::vector<Vec3> corners = boxCorners({-10, 0.1, 20}, {30.5, 0.3, 21});
  const IndexedMesh mesh = weldVertices(corners, 0.001, "f");
  ASSERT_EQ(mesh.triangles.size(), 12u);
  EXPECT_EQ(mesh.vertices.size(), 8u);
  EXPECT_EQ(mesh.triangles[0], (std::array<std::uint32_t, 3>{0, 1, 2}));
  for (std::size_t t = 0; t < 12; ++t)
    for (int c = 0; c < 3; ++c) EXPECT_EQ(mesh.vertices[mesh.triangles[t][c]], 0.001 * corners[3 * t + c]);

  const double next = std::nextafter(1.0, 2.0);
  const IndexedMesh near = weldVertices({{1, 0, -0.0}, {0, 1, 0}, {0, 0, 1}, {next, 0, 0.0}, {0, 1, 0}, {0, 0, 1}}, 1.0, "f");
  EXPECT_EQ(near.vertices.size(), 4u);
  EXPECT_EQ(near.triangles[1], (std::array<std::uint32_t, 3>{3, 1, 2}));
  EXPECT_FALSE(std::signbit(near.vertices[0].z));
  EXPECT_THROW(weldVertices({{1e300, 0, 0}, {0, 0, 0}, {0, 1, 0}}, 1e10, "f"), std::runtime_error);
}

TEST(DescribeMesh, DetectsOpenNonManifoldMisorientedAndDegenerateMeshes) {
  const std::vector<Vec3> box = boxCorners({-1, 2, 3}, {4, 5, 6});
  MeshReport r = describeMesh(weldVertices(box, 1.0, "f"));
  EXPECT_EQ(r.vertex_count, 8u);
  EXPECT_EQ(r.bbox_min, (Vec3{-1, 2, 3}));
  EXPECT_EQ(r.bbox_max, (Vec3{4, 5, 6}));
  EXPECT_TRUE(r.closed);
  EXPECT_EQ(r.boundary_edges + r.non_manifold_edges + r.misoriented_edges + r.degenerate_triangles, 0u);

  r = describeMesh(weldVertices({box.begin(), box.end() - 3}, 1.0, "f"));  // a triangular hole
  EXPECT_FALSE(r.closed);
  EXPECT_EQ(r.boundary_edges, 3u);

  std::vector<Vec3> flipped = box;  // one triangle walked the other way: closed but misoriented
  std::swap(flipped[1], flipped[2]);
  r = describeMesh(weldVertices(flipped, 1.0, "f"));
  EXPECT_TRUE(r.closed);
  EXPECT_EQ(r.misoriented_edges, 3u);

  std::vector<Vec3> fin = box;  // an extra triangle on an existing edge
  fin.insert(fin.end(), {box[0], box[1], Vec3{0.5, 0.5, 50}});
  r = describeMesh(weldVertices(fin, 1.0, "f"));
  EXPECT_FALSE(r.closed);
  EXPECT_EQ(r.non_manifold_edges, 1u);
  EXPECT_EQ(r.boundary_edges, 2u);

  std::vector<Vec3> slivers = box;  // a repeated corner and a collinear triangle: kept and counted
  slivers.insert(slivers.end(), {box[0], box[0], box[1], Vec3{0, 0, 0}, Vec3{0.5, 0, 0}, Vec3{0.25, 0, 0}});
  r = describeMesh(weldVertices(slivers, 1.0, "f"));
  EXPECT_EQ(r.triangle_count, 14u);
  EXPECT_EQ(r.degenerate_triangles, 2u);
  EXPECT_EQ(r.boundary_edges, 3u);  // the collinear one has real, unshared edges
}

}  // namespace
