// The converter's readers of AMF, zipped AMF and STL files, the welding of corners and the mesh report.
#include <gtest/gtest.h>
#include <zip.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "meshFixtures.h"
#include "support/run_program.h"
#include "tools/amf/describeMesh.h"
#include "tools/amf/readAmf.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/readStl.h"
#include "tools/amf/weldVertices.h"

using namespace plasmabox;

namespace {

std::string v(const char* x, const char* y, const char* z) {
  return std::string("<vertex><coordinates><x>") + x + "</x><y>" + y + "</y><z>" + z + "</z></coordinates></vertex>\r\n";
}

std::string tri(int a, int b, int c) {
  return "<triangle><v1>" + std::to_string(a) + "</v1><v2>" + std::to_string(b) + "</v2><v3>" + std::to_string(c) +
         "</v3></triangle>\r\n";
}

const std::vector<Vec3> BOX = boxCorners({-0.5, 0.25, 1.0}, {1.5, 2.0, 3.7});

// As CAD tools write it: a root name, ids that are not positions, colours, normals and
// edges around the data, coordinates out of order, two volumes, CRLF, an inch unit.
const std::string TWO_OBJECTS =
    "<?xml version=\"1.0\"?>\r\n<amf unit=\"inch\"><metadata type=\"name\">whole file</metadata>\r\n"
    "<object id=\"7\"><color><r>1</r></color><mesh><vertices>" + v("0", "0", "0") +
    "<vertex><coordinates><x> 1 </x><y>0</y><z>0</z></coordinates><normal><nx>1</nx></normal></vertex>\r\n"
    "<vertex><coordinates><z>0</z><y>1</y><x>0</x></coordinates></vertex>\r\n<edge><v1>0</v1></edge></vertices>"
    "<volume><metadata type=\"name\">half</metadata>" + tri(0, 2, 1) + "</volume><volume>" + tri(1, 2, 0) +
    "</volume></mesh></object>\r\n<object id=\"0\"><metadata type=\"cad\">x</metadata><metadata type=\"Name\">Second"
    "</metadata><mesh><vertices>" + v("5", "5", "5") + v("6", "5", "5") + v("5", "6", "5") + "</vertices><volume>" +
    tri(0, 1, 2) + "</volume></mesh></object>\r\n<material id=\"2\"/></amf>\r\n";

// A ZIP archive of (entry name, content) pairs; a name ending in '/' is a folder.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  const TempFolder folder("zip");
  const std::string path = folder.file("a.zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return "";
  for (const auto& [name, content] : entries)
    if (name.back() == '/') zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8);
    else zip_file_add(archive, name.c_str(), zip_source_buffer(archive, content.data(), content.size(), 0), ZIP_FL_ENC_UTF_8);
  zip_close(archive);  // the buffers must stay alive until here
  return readWholeFile(path);
}

TEST(AmfReader, MergesTheVolumesOfTheObjectCountedFromOnePlainOrZipped) {
  const MeshSoup soup = readMeshBytes(TWO_OBJECTS, "t.amf", 1);
  EXPECT_TRUE(soup.format == "AMF" && soup.object_count == 2u && soup.volume_count == 2u);
  EXPECT_EQ(soup.source_name, "");  // the root's name is not the object's
  EXPECT_EQ(soup.metres_per_unit, 0.0254);
  EXPECT_EQ(soup.corners, (std::vector<Vec3>{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}}));
  EXPECT_EQ(amfUnitInMetres("", "f"), 1e-3);  // no unit: millimetres
  // Zipped, whatever the entry is called, beside a folder.
  const MeshSoup second = readMeshBytes(zipOf({{"f/", ""}, {"f/model", TWO_OBJECTS}}), "z.amf", 2);
  EXPECT_TRUE(second.format == "zipped AMF" && second.source_name == "Second");
  EXPECT_EQ(second.corners, (std::vector<Vec3>{{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}));
}

// Bad AMF, ZIP and STL files are refused by a message naming the file and the place.
TEST(MeshFileReader, BadInputIsRefusedWithMessageNamingFileAndPlace) {
  const std::string V3 = v("0", "0", "0") + v("1", "0", "0") + v("0", "1", "0");
  const auto one = [](const std::string& vertices, const std::string& triangles) {
    return "<amf><object><mesh><vertices>" + vertices + "</vertices><volume>" + triangles + "</volume></mesh></object></amf>";
  };
  const std::string zipped = zipOf({{"m.amf", TWO_OBJECTS}});
  const std::string good_binary = binaryStl(BOX, "solid looks like text");
  std::string nan_binary = binaryStl(BOX);
  nan_binary.replace(84 + 12, 4, "\x00\x00\xC0\x7F", 4);  // first corner x = NaN
  const std::string facet = "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n";
  const struct {
    std::string bytes;
    std::size_t object;
    const char* message;
  } cases[] = {
      {"<amf><object></amf>", 1, "malformed XML at line 1"},
      {"<amf unit=\"mm\"></amf>", 1, "unknown AMF unit 'mm'"},
      {one(v("2.5mm", "0", "0"), ""), 1, "<x> '2.5mm' is not a finite number"},
      {one(V3, tri(0, 1, 3)), 1, "volume 1, triangle 1: <v3> index 3 is out of range: the object has 3 vertices"},
      {TWO_OBJECTS, 3, "object 3 requested, but the file holds 2 object(s), numbered from 1"},
      {zipped.substr(0, zipped.size() / 2), 1, "damaged ZIP archive"},
      {zipOf({{"a.amf", TWO_OBJECTS}, {"b.amf", TWO_OBJECTS}}), 1, "holds 2 file entries"},
      {"", 1, "the file is empty"},
      {good_binary.substr(0, good_binary.size() - 7), 1, "truncated binary STL"},
      {nan_binary, 1, "triangle 1: corner coordinate is not a finite number"},
      {"hello, this is not a mesh\n", 1, "not a mesh file"},
      {"solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 zero 0\n", 1, "line 4: 'zero' is not a finite number"},
      {"solid x\n" + facet.substr(0, 50), 1, "expected a number but found the end of the file"},
      {"solid x\nendsolid x\n", 1, "ASCII STL holds no triangles"},
      {asciiStl(BOX), 2, "object 2"},  // an STL holds only object 1
  };
  for (const auto& c : cases) {
    try {
      readMeshBytes(c.bytes, "in/model.amf", c.object);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("in/model.amf: ", 0), 0u) << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
  }
}

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
  std::vector<Vec3> flipped = box, fin = box, slivers = box;
  std::swap(flipped[1], flipped[2]);
  fin.insert(fin.end(), {box[0], box[1], Vec3{9, 9, 9}});
  slivers.insert(slivers.end(), {box[0], box[0], box[1], Vec3{0, 0, 0}, Vec3{0.5, 0, 0}, Vec3{0.25, 0, 0}});
  const struct {
    const char* what;
    std::vector<Vec3> corners;
    bool closed;
    std::size_t triangles, boundary, non_manifold, misoriented, degenerate;
  } cases[] = {
      {"closed box", box, true, 12, 0, 0, 0, 0},
      {"a triangular hole", {box.begin(), box.end() - 3}, false, 11, 3, 0, 0, 0},
      {"one triangle walked the other way", flipped, true, 12, 0, 0, 3, 0},
      {"a fin on one edge", fin, false, 13, 2, 1, 0, 0},
      // A repeated corner and a collinear triangle are kept and counted; the collinear one has real, unshared edges.
      {"slivers", slivers, false, 14, 3, 0, 0, 2},
  };
  for (const auto& c : cases) {
    const MeshReport r = describeMesh(weldVertices(c.corners, 1.0, "f"));
    EXPECT_TRUE(r.closed == c.closed && r.triangle_count == c.triangles && r.boundary_edges == c.boundary &&
                r.non_manifold_edges == c.non_manifold && r.misoriented_edges == c.misoriented &&
                r.degenerate_triangles == c.degenerate) << c.what;
  }
  const MeshReport r = describeMesh(weldVertices(box, 1.0, "f"));
  EXPECT_TRUE(r.vertex_count == 8u && r.bbox_min == (Vec3{-1, 2, 3}) && r.bbox_max == (Vec3{4, 5, 6}));
}

}  // namespace
