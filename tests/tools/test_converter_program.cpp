// The converter as a user runs it: exit status, messages, and the written file
// read back by the simulation's own AMF reader.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/amfread.h"
#include "meshFixtures.h"
#include "mesh/World.h"
#include "support/run_program.h"

namespace {

std::string converterPath() { return PLASMABOX_AMF_BINARY; }

ProgramResult convert(const std::vector<std::string>& args) {
  return runProgram(converterPath(), args, ".", "/dev/null", 60);
}

class ConverterProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(converterPath())) GTEST_SKIP() << "build the plasmabox-amf target first";
  }
  TempFolder dir;
};

TEST_F(ConverterProgram, HelpPrintsUsageAndSucceeds) {
  const ProgramResult r = convert({"--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("Usage: plasmabox-amf -o OUT.amf"), std::string::npos);
  EXPECT_NE(r.out.find("--scale S"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

struct BadRun {
  const char* label;
  std::vector<std::string> args;
  std::string message;  // expected part of standard error
};

TEST_F(ConverterProgram, BadInputExitsWithOneAndSaysWhy) {
  const std::vector<Vec3> box = boxCorners({0, 0, 0}, {1, 1, 1});
  const std::string good = dir.write("good.stl", asciiStl(box));
  const std::string binary = binaryStl(box, "solid header");
  const std::string truncated = dir.write("cut.stl", binary.substr(0, binary.size() - 20));
  const std::string empty = dir.write("empty.stl", "");
  const std::string text = dir.write("notes.txt", "shopping list: milk, eggs\n");
  const std::string broken = dir.write("broken.amf", "<amf><object><mesh></object>");
  const std::string out = dir.file("out.amf");
  const std::string missing = dir.file("missing.stl");
  const std::vector<BadRun> cases = {
      {"no arguments", {}, "no output file: give -o OUT.amf"},
      {"no input", {"-o", out}, "no input: give at least one NAME=FILE"},
      {"missing -o value", {"Body=" + good, "-o"}, "-o needs a value"},
      {"unknown option", {"-o", out, "--scael", "2", "Body=" + good}, "unknown option '--scael'"},
      {"bad scale", {"-o", out, "--scale", "0", "Body=" + good}, "--scale needs a positive finite number, got '0'"},
      {"text scale", {"-o", out, "--scale", "mm", "Body=" + good}, "got 'mm'"},
      {"no equals sign", {"-o", out, good}, "expected NAME=FILE[:K]"},
      {"empty name", {"-o", out, "=" + good}, "empty object name"},
      {"object zero", {"-o", out, "Body=" + good + ":0"}, "objects count from 1"},
      {"same name twice", {"-o", out, "Body=" + good, "Body=" + good}, "object name 'Body' is given twice"},
      {"missing file", {"-o", out, "Body=" + missing}, missing + ": no such file"},
      {"folder", {"-o", out, "Body=" + dir.path.string()}, dir.path.string() + ": is a folder"},
      {"empty file", {"-o", out, "Body=" + empty}, empty + ": the file is empty"},
      {"truncated binary", {"-o", out, "Body=" + truncated}, truncated + ": truncated binary STL"},
      {"not a mesh", {"-o", out, "Body=" + text}, text + ": not a mesh file"},
      {"malformed xml", {"-o", out, "Body=" + broken}, broken + ": malformed XML"},
      {"object K missing", {"-o", out, "Body=" + good + ":2"}, "object 2 requested"},
      {"unwritable output", {"-o", dir.file("no/such/folder/out.amf"), "Body=" + good}, "cannot create the output file"},
  };
  for (const BadRun& c : cases) {
    const ProgramResult r = convert(c.args);
    EXPECT_EQ(r.exit_code, 1) << c.label << "\n" << r.err;
    EXPECT_EQ(r.err.rfind("plasmabox-amf: error: ", 0), 0u) << c.label << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.label << "\n" << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c.label << ": one line expected\n" << r.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.label << ": nothing may be written on error";
  }
}

// Reads an AMF file with the simulation's reader, its console chatter muted.
std::vector<AmfObject> readBack(const std::string& path) {
  World world(3, 3, 3);
  std::istringstream enter("\n");
  std::ostringstream sink;
  std::streambuf* const saved_out = std::cout.rdbuf(sink.rdbuf());
  std::streambuf* const saved_err = std::cerr.rdbuf(sink.rdbuf());
  amfread(world, path, enter);
  std::cout.rdbuf(saved_out);
  std::cerr.rdbuf(saved_err);
  return world.objects;
}

// Three objects from three formats: the simulation must see the given names in
// argument order, and every triangle corner equal to the input corner times
// its scale factor, bit for bit.
TEST_F(ConverterProgram, RoundTripThroughTheSimulationsReaderKeepsNamesAndTriangles) {
  const std::vector<Vec3> body = boxCorners({-12.5, 0.1, 3}, {7.25, 40.3, 9.9});      // millimetres
  const std::vector<Vec3> magnet = boxCorners({100, 100, 100}, {101.5, 102, 103});   // millimetres, binary
  const std::string body_file = dir.write("body.stl", asciiStl(body));
  const std::string magnet_file = dir.write("magnet.stl", binaryStl(magnet, "solid magnet"));
  const std::string amf_file = dir.write(
      "parts.amf",
      "<amf unit=\"inch\"><object><mesh><vertices>"
      "<vertex><coordinates><x>0.1</x><y>0</y><z>0</z></coordinates></vertex>"
      "<vertex><coordinates><x>0</x><y>0.3</y><z>0</z></coordinates></vertex>"
      "<vertex><coordinates><x>0</x><y>0</y><z>0.7</z></coordinates></vertex>"
      "</vertices><volume><triangle><v1>0</v1><v2>1</v2><v3>2</v3></triangle></volume></mesh></object>"
      "<object><metadata type=\"name\">ignored &amp; replaced</metadata><mesh><vertices>"
      "<vertex><coordinates><x>1</x><y>2</y><z>3</z></coordinates></vertex>"
      "<vertex><coordinates><x>4</x><y>5</y><z>6</z></coordinates></vertex>"
      "<vertex><coordinates><x>7</x><y>8</y><z>10</z></coordinates></vertex></vertices>"
      "<volume><triangle><v1>2</v1><v2>1</v2><v3>0</v3></triangle></volume></mesh></object></amf>");
  const std::string out = dir.file("scene.amf");
  const ProgramResult r = convert({"-o", out, "--scale", "0.001", "Body=" + body_file,
                                   "electrode1=" + amf_file + ":2", "magnet <1>=" + magnet_file});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("closed: yes"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("closed: NO"), std::string::npos) << r.out;  // the lone triangle

  const std::vector<AmfObject> objects = readBack(out);
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0].name, "Body");
  EXPECT_EQ(objects[1].name, "electrode1");
  EXPECT_EQ(objects[2].name, "magnet <1>");

  const auto expectCorners = [](const AmfObject& o, const std::vector<Vec3>& corners, double scale) {
    ASSERT_EQ(o.triangles.size() * 3, corners.size()) << o.name;
    for (std::size_t t = 0; t < o.triangles.size(); ++t) {
      const Vec3 got[3] = {o.triangles[t].a, o.triangles[t].b, o.triangles[t].c};
      for (int c = 0; c < 3; ++c) {
        const Vec3& v = corners[3 * t + c];
        EXPECT_EQ(got[c], (Vec3{v.x * scale, v.y * scale, v.z * scale})) << o.name << " triangle " << t;
      }
    }
  };
  expectCorners(objects[0], body, 0.001);
  expectCorners(objects[1], {{7, 8, 10}, {4, 5, 6}, {1, 2, 3}}, 0.0254);  // the AMF's inch unit wins
  std::vector<Vec3> magnet_floats;
  for (const Vec3& v : magnet) magnet_floats.push_back({double(float(v.x)), double(float(v.y)), double(float(v.z))});
  expectCorners(objects[2], magnet_floats, 0.001);
  EXPECT_EQ(objects[0].vertices.size(), 8u);  // merged

  // With --ignore-amf-unit the scale applies to the AMF too.
  const ProgramResult raw = convert({"-o", out, "--scale=2", "--ignore-amf-unit", "e=" + amf_file + ":2"});
  ASSERT_EQ(raw.exit_code, 0) << raw.err;
  const std::vector<AmfObject> scaled = readBack(out);
  ASSERT_EQ(scaled.size(), 1u);
  expectCorners(scaled[0], {{7, 8, 10}, {4, 5, 6}, {1, 2, 3}}, 2.0);
}

// Converting the converter's own output (unit="meter") changes nothing.
TEST_F(ConverterProgram, OwnOutputConvertsToTheSameFile) {
  const std::string in = dir.write("box.stl", binaryStl(boxCorners({0.125, 0.25, 0.5}, {1.75, 2.5, 3.0625})));
  const std::string first = dir.file("first.amf");
  const std::string second = dir.file("second.amf");
  ASSERT_EQ(convert({"-o", first, "--scale", "0.003", "Body=" + in}).exit_code, 0);
  ASSERT_EQ(convert({"-o", second, "--scale", "7", "Body=" + first}).exit_code, 0);
  EXPECT_EQ(readWholeFile(first), readWholeFile(second));
}

}  // namespace
