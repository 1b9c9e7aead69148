// The AMF reader: console transcripts of well-formed and malformed files, the
// records it builds, and the errors that end the run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "consoleCapture.h"
#include "geometry/amfread.h"
#include "geometry/containment.h"
#include "testMeshes.h"

namespace fs = std::filesystem;

namespace {

fs::path tempDir() {
  const fs::path dir = fs::temp_directory_path() / ("plasmabox_amfread_" + std::to_string(getpid()));
  fs::create_directories(dir);
  return dir;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// One object as "name v=<vertices> t=<triangles>", objects separated by "; ".
std::string summary(const World& world) {
  std::string s;
  for (const AmfObject& o : world.objects)
    s += (s.empty() ? "" : "; ") + o.name + " v=" + std::to_string(o.vertices.size()) +
         " t=" + std::to_string(o.triangles.size());
  return s;
}

std::string vertex(double x, double y, double z) {
  std::ostringstream s;
  s << "<vertex><coordinates><x>" << x << "</x><y>" << y << "</y><z>" << z << "</z></coordinates></vertex>";
  return s.str();
}
std::string tri(const char* a, const char* b, const char* c) {
  return std::string("<triangle><v1>") + a + "</v1><v2>" + b + "</v2><v3>" + c + "</v3></triangle>";
}
const std::string THREE = vertex(0, 0, 0) + vertex(1, 0, 0) + vertex(0, 1, 0);
std::string object(const std::string& name, const std::string& vertices, const std::string& triangles) {
  return "<object><metadata type=\"name\">" + name + "</metadata><mesh><vertices>" + vertices +
         "</vertices><volume>" + triangles + "</volume></mesh></object>";
}

const std::string HEAD = "out: Loading file: {P}\nout: File loaded successfully: {P}\nout: AMF file format validated\n";
const std::string TAIL = "out: All objects processed\nout: Press the enter key once the confirmation is complete\n";

}  // namespace

TEST(AmfRead, TranscriptsAndRecordsOfWellAndMalformedFiles) {
  struct Case {
    const char* label;
    std::string xml;         // file content; empty: no file at all
    std::string transcript;  // {P} stands for the path
    std::string objects;     // summary() afterwards
    bool waits;              // the prompt consumed one character
  };
  const Case cases[] = {
      {"missing file", "", "out: Loading file: {P}\nout: Failed to load file: {P}\n", "", false},
      {"not well-formed", "<amf><object></amf>", "out: Loading file: {P}\nout: Failed to load file: {P}\n", "",
       false},
      {"root named AMF", "<AMF><object/></AMF>",
       "out: Loading file: {P}\nout: File loaded successfully: {P}\nerr: Invalid AMF file format\n", "", false},
      {"no objects", "<amf unit=\"millimeter\"/>", HEAD + TAIL, "", true},
      {"objects in file order, dropped ones leave no gap",
       "<amf>" + object("a", THREE, tri("0", "1", "2")) + "<object><mesh/></object>" +
           "<object><metadata>c</metadata></object>" + object("d", THREE, "") + "</amf>",
       HEAD +
           "out: Processing object\nout: Object name: a\nout: Object processed successfully\n"
           "out: Processing object\nerr: Missing metadata element\n"
           "out: Processing object\nout: Object name: c\nerr: Missing mesh element\n"
           "out: Processing object\nout: Object name: d\nout: Object processed successfully\n" +
           TAIL,
       "a v=3 t=1; d v=3 t=0", true},
      {"first metadata names the object, empty metadata gives an empty name",
       "<amf><object><metadata>first</metadata><metadata>second</metadata><mesh/></object>"
       "<object><metadata type=\"name\"/><mesh/></object></amf>",
       HEAD +
           "out: Processing object\nout: Object name: first\nout: Object processed successfully\n"
           "out: Processing object\nout: Object name: \nout: Object processed successfully\n" +
           TAIL,
       "first v=0 t=0;  v=0 t=0", true},
      {"vertex without coordinates is skipped",
       "<amf>" + object("o", vertex(0, 0, 0) + "<vertex><color/></vertex>" + vertex(1, 0, 0) + vertex(0, 1, 0),
                        tri("0", "1", "2")) +
           "</amf>",
       HEAD + "out: Processing object\nout: Object name: o\nerr: Missing coordinates element\n"
              "out: Object processed successfully\n" + TAIL,
       "o v=3 t=1", true},
      {"out-of-range indices skip their triangle only",
       "<amf>" + object("o", THREE, tri("0", "1", "3") + tri("-1", "1", "2") + tri("2", "1", "0")) + "</amf>",
       HEAD + "out: Processing object\nout: Object name: o\nerr: Invalid triangle vertex index\n"
              "err: Invalid triangle vertex index\nout: Object processed successfully\n" + TAIL,
       "o v=3 t=1", true},
      {"second volume ignored, unknown elements skipped",
       "<amf><object><metadata>o</metadata><color/><mesh><vertices>" + THREE +
           "<edge/></vertices><volume><metadata>v</metadata>" + tri("0", "1", "2") + "</volume><volume>" +
           tri("0", "1", "2") + tri("0", "1", "2") + "</volume></mesh></object></amf>",
       HEAD + "out: Processing object\nout: Object name: o\nout: Object processed successfully\n" + TAIL,
       "o v=3 t=1", true},
  };
  const fs::path dir = tempDir();
  int n = 0;
  for (const Case& c : cases) {
    const std::string path = (dir / ("case" + std::to_string(n++) + ".amf")).string();
    if (!c.xml.empty()) writeText(path, c.xml);
    World world(2, 2, 2);
    std::istringstream input("xy");
    {
      ConsoleCapture console;
      amfread(world, path, input);
      EXPECT_EQ(console.transcript, replaceAll(c.transcript, "{P}", path)) << c.label;
    }
    EXPECT_EQ(summary(world), c.objects) << c.label;
    EXPECT_EQ(input.get(), c.waits ? 'y' : 'x') << c.label << ": the wait reads exactly one character";
  }
  fs::remove_all(dir);
}

TEST(AmfRead, RecordsHoldCopiedCornersAndBoxes) {
  const fs::path dir = tempDir();
  const std::string path = (dir / "records.amf").string();
  // The second vertex element lacks coordinates, so index 1 is the file's third.
  writeText(path, "<amf>" +
                      object("o",
                             "<vertex><coordinates><x> \t2.5abc</x><y>0x1p-2</y><z>-1e2</z></coordinates></vertex>"
                             "<vertex/>" +
                                 vertex(-3, 7, 0.5) + vertex(1, -4, 9),
                             tri("1", "2", "0")) +
                      object("empty", "", "") + "</amf>");
  World world(2, 2, 2);
  std::istringstream closed_input;  // end of input: the wait ends at once
  ConsoleCapture console;
  amfread(world, path, closed_input);
  ASSERT_EQ(world.objects.size(), 2u);
  const AmfObject& o = world.objects[0];
  EXPECT_EQ(o.vertices[0], (Vec3{2.5, 0.25, -100}));
  EXPECT_EQ(o.triangles[0].a, (Vec3{-3, 7, 0.5}));
  EXPECT_EQ(o.triangles[0].b, (Vec3{1, -4, 9}));
  EXPECT_EQ(o.triangles[0].c, (Vec3{2.5, 0.25, -100}));
  EXPECT_EQ(o.bbox_min, (Vec3{-3, -4, -100}));
  EXPECT_EQ(o.bbox_max, (Vec3{2.5, 7, 9}));
  EXPECT_TRUE(o.bvh.usable);
  // No vertices: an empty box that holds no point, not even the origin.
  const AmfObject& e = world.objects[1];
  EXPECT_GT(e.bbox_min.x, e.bbox_max.x);
  World probe(2, 2, 2);
  probe.objects.push_back(e);
  EXPECT_EQ(findContainingObjectIndex(probe, {0, 0, 0}), -1);

  // A second file appends; the earlier record keeps its box and index.
  const std::string second = (dir / "second.amf").string();
  writeText(second, amfText({boxMesh("cube", {0, 0, 0}, {1, 1, 1})}));
  amfread(world, second, closed_input);
  ASSERT_EQ(world.objects.size(), 3u);
  EXPECT_EQ(world.objects[0].bbox_max, (Vec3{2.5, 7, 9}));
  EXPECT_EQ(findContainingObject(world, {0.5, 0.5, 0.5}), "cube");
  fs::remove_all(dir);
}

TEST(AmfRead, BadNumbersThrowWithObjectAndElement) {
  struct Case {
    std::string vertices, triangles;
    bool invalid;  // invalid_argument, else out_of_range
    std::string message;
  };
  const std::string bad_x = "<vertex><coordinates><x>abc</x><y>0</y><z>0</z></coordinates></vertex>";
  const std::string no_y = "<vertex><coordinates><x>1</x><z>0</z></coordinates></vertex>";
  const std::string huge_z = "<vertex><coordinates><x>1</x><y>0</y><z>1e400</z></coordinates></vertex>";
  const Case cases[] = {
      {THREE + bad_x, "", true, "invalid stold argument in <x> of vertex 4 of object \"bad\" in {P}"},
      {no_y, "", true, "invalid stold argument in <y> of vertex 1 of object \"bad\" in {P}"},
      {huge_z, "", false, "stold argument out of range in <z> of vertex 1 of object \"bad\" in {P}"},
      {THREE, tri("0", "1", "2") + tri("0", "", "2"), true,
       "invalid stoi argument in <v2> of triangle 2 of object \"bad\" in {P}"},
      {THREE, tri("0", "1", "3000000000"), false,
       "stoi argument out of range in <v3> of triangle 1 of object \"bad\" in {P}"},
      {THREE, "<triangle><v1>0</v1><v2>1</v2></triangle>", true,
       "invalid stoi argument in <v3> of triangle 1 of object \"bad\" in {P}"},
  };
  const fs::path dir = tempDir();
  const std::string path = (dir / "bad.amf").string();
  for (const Case& c : cases) {
    writeText(path, "<amf>" + object("good", THREE, tri("0", "1", "2")) + object("bad", c.vertices, c.triangles) +
                        "</amf>");
    World world(2, 2, 2);
    std::istringstream input("x");
    ConsoleCapture console;
    try {
      amfread(world, path, input);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_TRUE(c.invalid);
      EXPECT_EQ(e.what(), replaceAll(c.message, "{P}", path));
    } catch (const std::out_of_range& e) {
      EXPECT_FALSE(c.invalid);
      EXPECT_EQ(e.what(), replaceAll(c.message, "{P}", path));
    }
    // The good object stays; the one being read is dropped; no prompt, no wait.
    EXPECT_EQ(summary(world), "good v=3 t=1");
    EXPECT_EQ(console.transcript.find("Press the enter key"), std::string::npos);
    EXPECT_EQ(input.get(), 'x');
  }
  fs::remove_all(dir);
}
