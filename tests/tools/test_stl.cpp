#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "meshFixtures.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/readStl.h"

namespace {

const std::vector<Vec3> BOX = boxCorners({-0.5, 0.25, 1.0}, {1.5, 2.0, 3.75});

// Corners as a float-based binary STL holds them.
std::vector<Vec3> asFloats(const std::vector<Vec3>& corners) {
  std::vector<Vec3> out;
  for (const Vec3& v : corners) out.push_back({double(float(v.x)), double(float(v.y)), double(float(v.z))});
  return out;
}

TEST(StlReader, AsciiAndBinaryGiveTheCornersInFileOrder) {
  const MeshSoup ascii = readMeshBytes(asciiStl(BOX), "a.stl", 1);
  EXPECT_EQ(ascii.format, "ASCII STL");
  EXPECT_EQ(ascii.corners, BOX);

  const MeshSoup binary = readMeshBytes(binaryStl(BOX, "exported by a CAD tool"), "b.stl", 1);
  EXPECT_EQ(binary.format, "binary STL");
  EXPECT_EQ(binary.corners, asFloats(BOX));
}

// Several exporters start the binary header with "solid": the size decides.
TEST(StlReader, BinaryWhoseHeaderBeginsWithSolidIsReadAsBinary) {
  for (const std::string header : {"solid torus", "solid", "  solid MatterControl", "SOLID x"}) {
    const std::string bytes = binaryStl(BOX, header);
    ASSERT_TRUE(hasBinaryStlSize(bytes));
    const MeshSoup soup = readMeshBytes(bytes, "s.stl", 1);
    EXPECT_EQ(soup.format, "binary STL") << header;
    EXPECT_EQ(soup.corners, asFloats(BOX)) << header;
  }
}

TEST(StlReader, AsciiToleratesCaseCrLfSeveralSolidsAndNamesWithSpaces) {
  std::string text = asciiStl(std::vector<Vec3>(BOX.begin(), BOX.begin() + 6), "first part") +
                     asciiStl(std::vector<Vec3>(BOX.begin() + 6, BOX.end()), "second");
  std::string upper;
  for (const char c : text) upper += (c == '\n') ? std::string("\r\n") : std::string(1, char(std::toupper(c)));
  const MeshSoup soup = readAsciiStl(upper, "u.stl");
  EXPECT_EQ(soup.corners, BOX);
}

TEST(StlReader, NumbersWithPlusSignAndExponentsAreRead) {
  const std::string text =
      "solid x\nfacet normal 0 0 1\nouter loop\nvertex +1e-3 2.5E2 -0\nvertex 1 0 0\nvertex 0 1 0\n"
      "endloop\nendfacet\nendsolid\n";
  const MeshSoup soup = readAsciiStl(text, "n.stl");
  ASSERT_EQ(soup.corners.size(), 3u);
  EXPECT_EQ(soup.corners[0].x, 1e-3);
  EXPECT_EQ(soup.corners[0].y, 250.0);
}

struct BadStl {
  const char* label;
  std::string bytes;
  const char* message;  // expected part of the error message
};

TEST(StlReader, BadInputIsRefusedWithMessageNamingFileAndProblem) {
  const std::string good_binary = binaryStl(BOX, "solid looks like text");
  std::string nan_binary = binaryStl(BOX);
  nan_binary.replace(84 + 12, 4, "\x00\x00\xC0\x7F", 4);  // first corner x = NaN
  const std::string facet = "facet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 endloop endfacet\n";
  const std::vector<BadStl> cases = {
      {"empty", "", "the file is empty"},
      {"truncated binary", good_binary.substr(0, good_binary.size() - 7), "truncated binary STL"},
      {"binary cut inside the header", good_binary.substr(0, 60), "truncated binary STL"},
      {"binary with trailing bytes", good_binary + std::string(3, '\0'), "oversized binary STL"},
      {"binary with zero triangles", binaryStl({}), "no triangles"},
      {"binary with NaN", nan_binary, "triangle 1: corner coordinate is not a finite number"},
      {"plain text", "hello, this is not a mesh\n", "not a mesh file"},
      {"ascii bad number", "solid x\n" + std::string("facet normal 0 0 1\nouter loop\nvertex 0 zero 0\n"),
       "line 4: 'zero' is not a finite number"},
      {"ascii overflowing number", "solid x\nfacet normal 0 0 1 outer loop vertex 1e999 0 0", "'1e999' is not a finite"},
      {"ascii inf", "solid x\nfacet normal 0 0 1 outer loop vertex inf 0 0", "'inf' is not a finite"},
      {"ascii four corners", "solid x\nfacet normal 0 0 1 outer loop vertex 0 0 0 vertex 1 0 0 vertex 0 1 0 "
                             "vertex 1 1 0 endloop endfacet endsolid",
       "expected 'endloop' but found 'vertex'"},
      {"ascii cut short", "solid x\n" + facet.substr(0, 50), "expected a number but found the end of the file"},
      {"ascii without endsolid", "solid x\n" + facet, "the file ends before 'endsolid'"},
      {"ascii without triangles", "solid x\nendsolid x\n", "ASCII STL holds no triangles"},
      {"ascii junk after endsolid", "solid x\n" + facet + "endsolid x\ngarbage", "expected 'solid' or the end"},
  };
  for (const BadStl& c : cases) {
    try {
      readMeshBytes(c.bytes, "dir/part.stl", 1);
      ADD_FAILURE() << c.label << ": accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("dir/part.stl: ", 0), 0u) << c.label << ": " << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << c.label << ": " << what;
    }
  }
}

TEST(StlReader, OnlyObjectOneExistsInAnStl) {
  EXPECT_NO_THROW(readMeshBytes(asciiStl(BOX), "a.stl", 1));
  EXPECT_THROW(readMeshBytes(asciiStl(BOX), "a.stl", 2), std::runtime_error);
}

// Arbitrary bytes must give a result or an error, never a crash: cut a valid
// file of either kind at every length and flip bytes along the way.
TEST(StlReader, TruncatedAndCorruptedFilesNeverCrash) {
  const std::vector<Vec3> two(BOX.begin(), BOX.begin() + 6);
  for (const std::string& whole : {asciiStl(two), binaryStl(two, "solid x")}) {
    for (std::size_t n = 0; n <= whole.size(); ++n) {
      std::string bytes = whole.substr(0, n);
      if (n > 0) bytes[n / 2] = char(bytes[n / 2] ^ 0x5A);
      try {
        readMeshBytes(bytes, "f.stl", 1);
      } catch (const std::runtime_error&) {
      }
    }
  }
}

}  // namespace
