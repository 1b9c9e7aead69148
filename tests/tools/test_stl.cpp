#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "meshFixtures.h"
#include "tools/amf/describeMesh.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/readStl.h"
#include "tools/amf/weldVertices.h"

using namespace plasmabox;

namespace {

const std::vector<Vec3> BOX = boxCorners({-0.5, 0.25, 1.0}, {1.5, 2.0, 3.7});

// Several exporters start a binary header with "solid": the size decides.
TEST(StlReader, AsciiAndBinaryEvenWithASolidHeaderGiveTheCornersInFileOrder) {
  const MeshSoup ascii = readMeshBytes(asciiStl(BOX), "a.stl", 1);
  EXPECT_EQ(ascii.format, "ASCII STL");
  EXPECT_EQ(ascii.corners, BOX);
  for (const std::string header : {"exported by a CAD tool", "solid torus", "  solid MatterControl"}) {
    const MeshSoup binary = readMeshBytes(binaryStl(BOX, header), "b.stl", 1);
    EXPECT_EQ(binary.format, "binary STL") << header;
    EXPECT_EQ(binary.corners, asFloats(BOX)) << header;
  }
  // Upper case, CRLF, several solids, names with spaces, signs and exponents.
  std::string text = asciiStl({BOX.begin(), BOX.begin() + 6}, "first part") + asciiStl({BOX.begin() + 6, BOX.end()}, "b");
  std::string upper;
  for (const char c : text) upper += c == '\n' ? std::string("\r\n") : std::string(1, char(std::toupper(c)));
  EXPECT_EQ(readAsciiStl(upper, "u.stl").corners, BOX);
}

// Scaling comes before welding, one multiplication per coordinate; only
// bitwise equal corners (signed zeros included) become one vertex.
TEST(WeldVertices, ScaledEqualCornersBecomeOneVertexInOrderOfFirstUse) {
  const std::vector<Vec3> corners = boxCorners({-10, 0.1, 20}, {30.5, 0.3, 21});
  const IndexedMesh mesh = weldVertices(corners, 0.001, "f");
  ASSERT_EQ(mesh.triangles.size(), 12u);
  EXPECT_EQ(mesh.vertices.size(), 8u);
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
  EXPECT_TRUE(r.vertex_count == 8u && r.bbox_min == (Vec3{-1, 2, 3}) && r.bbox_max == (Vec3{4, 5, 6}) && r.closed);

  r = describeMesh(weldVertices({box.begin(), box.end() - 3}, 1.0, "f"));  // a triangular hole
  EXPECT_TRUE(!r.closed && r.boundary_edges == 3u);

  std::vector<Vec3> flipped = box;  // one triangle walked the other way: closed but misoriented
  std::swap(flipped[1], flipped[2]);
  r = describeMesh(weldVertices(flipped, 1.0, "f"));
  EXPECT_TRUE(r.closed && r.misoriented_edges == 3u);

  std::vector<Vec3> slivers = box;  // a repeated corner and a collinear triangle: kept and counted
  slivers.insert(slivers.end(), {box[0], box[0], box[1], Vec3{0, 0, 0}, Vec3{0.5, 0, 0}, Vec3{0.25, 0, 0}});
  r = describeMesh(weldVertices(slivers, 1.0, "f"));
  EXPECT_TRUE(r.triangle_count == 14u && r.degenerate_triangles == 2u);
  EXPECT_EQ(r.boundary_edges, 3u);  // the collinear one has real, unshared edges
}

}  // namespace
