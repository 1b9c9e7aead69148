#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/amfread.h"
#include "mesh/World.h"
#include "meshFixtures.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

ProgramResult convert(const std::vector<std::string>& args) { return runProgram(PLASMABOX_AMF_BINARY, args, ".", "/dev/null", 60); }

TEST(ConverterProgram, BadInputExitsWithOneAndSaysWhyOnOneLine) {
  const TempFolder dir("converter_errors");
  const std::string good = dir.write("good.stl", asciiStl(boxCorners({0, 0, 0}, {1, 1, 1})));
  const std::string text = dir.write("notes.txt", "shopping list: milk, eggs\n");
  const std::string out = dir.file("out.amf"), missing = dir.file("missing.stl");
  const struct {
    std::vector<std::string> args;
    std::string message;  // expected part of standard error
  } cases[] = {
      {{}, "no output file: give -o OUT.amf"},
      {{"-o", out, "--scael", "2", "Body=" + good}, "unknown option '--scael'"},
      {{"-o", out, "--scale", "0", "Body=" + good}, "--scale needs a positive finite number, got '0'"},
      {{"-o", out, good}, "expected NAME=FILE[:K]"},
      {{"-o", out, "Body=" + missing}, missing + ": no such file"},
      {{"-o", out, "Body=" + text}, text + ": not a mesh file"},
      {{"-o", dir.file("no/such/folder/out.amf"), "Body=" + good}, "cannot create the output file"},
  };
  for (const auto& c : cases) {
    const ProgramResult r = convert(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.message << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("plasmabox-amf: error: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line expected\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.message << ": nothing may be written on error";
  }
}

// Reads an AMF file with the simulation's reader, its console chatter muted.
std::vector<AmfObject> readBack(const std::string& path) {
  std::vector<AmfObject> objects;
  std::istringstream enter("\n");
  testing::internal::CaptureStdout();
  amfread(objects, path, enter);
  testing::internal::GetCapturedStdout();
  return objects;
}

void expectCorners(const AmfObject& o, const std::vector<Vec3>& corners, double scale) {
  ASSERT_EQ(o.triangles.size() * 3, corners.size()) << o.name;
  for (std::size_t t = 0; t < o.triangles.size(); ++t)
    EXPECT_TRUE(o.triangles[t].a == scale * corners[3 * t] && o.triangles[t].b == scale * corners[3 * t + 1] &&
                o.triangles[t].c == scale * corners[3 * t + 2]) << o.name << " triangle " << t;
}

// Three objects from three formats: names in argument order, every corner the input times its scale, bit for bit.
TEST(ConverterProgram, RoundTripThroughTheSimulationsReaderKeepsNamesAndTriangles) {
  const TempFolder dir("converter_round_trip");
  const std::vector<Vec3> body = boxCorners({-12.5, 0.1, 3}, {7.25, 40.3, 9.9});     // mm
  const std::vector<Vec3> magnet = boxCorners({100, 100, 100}, {101.5, 102, 103});  // mm, binary
  const std::vector<Vec3> electrode = {{7, 8, 10}, {4, 5, 6}, {1, 2, 3}};           // inch
  const std::string amf_file = dir.write(
      "parts.amf",
      "<amf unit=\"inch\"><object><mesh><vertices>"
      "<vertex><coordinates><x>0.1</x><y>0</y><z>0</z></coordinates></vertex></vertices></mesh></object>"
      "<object><metadata type=\"name\">ignored &amp; replaced</metadata><mesh><vertices>"
      "<vertex><coordinates><x>1</x><y>2</y><z>3</z></coordinates></vertex><vertex><coordinates><x>4</x><y>5</y>"
      "<z>6</z></coordinates></vertex><vertex><coordinates><x>7</x><y>8</y><z>10</z></coordinates></vertex></vertices>"
      "<volume><triangle><v1>2</v1><v2>1</v2><v3>0</v3></triangle></volume></mesh></object></amf>");
  const std::string out = dir.file("scene.amf");
  const ProgramResult r = convert({"-o", out, "--scale", "0.001", "Body=" + dir.write("body.stl", asciiStl(body)),
                                   "electrode1=" + amf_file + ":2",
                                   "magnet <1>=" + dir.write("magnet.stl", binaryStl(magnet, "solid magnet"))});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(r.out.find("closed: yes") != std::string::npos && r.out.find("closed: NO") != std::string::npos) << r.out;  // NO: the lone triangle
  const std::vector<AmfObject> objects = readBack(out);
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_TRUE(objects[0].name == "Body" && objects[1].name == "electrode1" && objects[2].name == "magnet <1>");
  expectCorners(objects[0], body, 0.001);
  expectCorners(objects[1], electrode, 0.0254);  // the AMF's inch unit wins
  expectCorners(objects[2], asFloats(magnet), 0.001);
  EXPECT_EQ(objects[0].vertices.size(), 8u);  // merged

  // With --ignore-amf-unit the scale applies to the AMF too.
  ASSERT_EQ(convert({"-o", out, "--scale=2", "--ignore-amf-unit", "e=" + amf_file + ":2"}).exit_code, 0);
  expectCorners(readBack(out).at(0), electrode, 2.0);
}

}  // namespace
