#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "meshFixtures.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/readStl.h"

namespace {

const std::vector<Vec3> BOX = boxCorners({-0.5, 0.25, 1.0}, {1.5, 2.0, 3.7});

// Several exporters start a binary header with "solid": the size decides.
TEST(StlReader, AsciiAndBinaryEvenWithASolidHeaderGiveTheCornersInFileOrder) {
  const MeshSoup ascii = readMeshBytes(asciiStl(BOX), "a.stl", 1);
  EXPECT_EQ(ascii.format, "ASCII STL");
  EXPECT_EQ(ascii.corners, BOX);
  for (const std::string header : {"exported by a CAD tool", "solid torus", "solid", "  solid MatterControl"}) {
    const MeshSoup binary = readMeshBytes(binaryStl(BOX, header), "b.stl", 1);
    EXPECT_EQ(binary.format, "binary STL") << header;
    EXPECT_EQ(binary.corners, asFloats(BOX)) << header;
  }
  // Upper case, CRLF, several solids, names with spaces, signs and exponents.
  std::string text = asciiStl({BOX.begin(), BOX.begin() + 6}, "first part") + asciiStl({BOX.begin() + 6, BOX.end()}, "b");
  std::string upper;
  for (const char c : text) upper += c == '\n' ? std::string("\r\n") : std::string(1, char(std::toupper(c)));
  EXPECT_EQ(readAsciiStl(upper, "u.stl").corners, BOX);
  const MeshSoup signs = readAsciiStl(
      "solid x\nfacet normal 0 0 1\nouter loop\nvertex +1e-3 2.5E2 -0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\nendsolid\n", "n.stl");
  EXPECT_EQ(signs.corners.at(0), (Vec3{1e-3, 250.0, -0.0}));
}

TEST(StlReader, BadInputIsRefusedWithMessageNamingFileAndProblem) {
  const std::string good_binary = binaryStl(BOX, "solid looks like text");
  std::string nan_binary = binaryStl(BOX);
  nan_binary.replace(84 + 12, 4, "\x00\x00\xC0\x7F", 4);  // first corner x = NaN
  const std::string facet = "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n";
  const struct {
    std::string bytes;
    const char* message;  // expected part of the error message
  } cases[] = {
      {"", "the file is empty"},
      {good_binary.substr(0, good_binary.size() - 7), "truncated binary STL"},
      {good_binary + std::string(3, '\0'), "oversized binary STL"},
      {nan_binary, "triangle 1: corner coordinate is not a finite number"},
      {"hello, this is not a mesh\n", "not a mesh file"},
      {"solid x\nfacet normal 0 0 1\nouter loop\nvertex 0 zero 0\n", "line 4: 'zero' is not a finite number"},
      {"solid x\nfacet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 vertex 1 1 0 endloop",
       "expected 'endloop' but found 'vertex'"},
      {"solid x\n" + facet.substr(0, 50), "expected a number but found the end of the file"},
      {"solid x\n" + facet, "the file ends before 'endsolid'"},
      {"solid x\nendsolid x\n", "ASCII STL holds no triangles"},
      {asciiStl(BOX), "object 2"},  // an STL holds only object 1
  };
  for (const auto& c : cases) {
    try {
      readMeshBytes(c.bytes, "dir/part.stl", std::string(c.message) == "object 2" ? 2 : 1);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("dir/part.stl: ", 0), 0u) << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
  }
}

}  // namespace
