// The simulation's AMF reader on malformed and hostile files: messages,
// objects kept, the one character the prompt reads, no crash.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "geometry/amfread.h"
#include "geometry/buildObjectBvh.h"
#include "support/run_program.h"

using namespace plasmabox;

namespace {

std::string summary(const std::vector<AmfObject>& objects) {
  std::string s;
  for (const AmfObject& o : objects)
    s += (s.empty() ? "" : "; ") + o.name + " v=" + std::to_string(o.vertices.size()) +
         " t=" + std::to_string(o.triangles.size());
  return s;
}

std::string vertex(const std::string& x, const std::string& y, const std::string& z) {
  return "<vertex><coordinates><x>" + x + "</x><y>" + y + "</y><z>" + z + "</z></coordinates></vertex>";
}

std::string tri(const char* a, const char* b, const char* c) {
  return std::string("<triangle><v1>") + a + "</v1><v2>" + b + "</v2><v3>" + c + "</v3></triangle>";
}

const std::string THREE = vertex("0", "0", "0") + vertex("1", "0", "0") + vertex("0", "1", "0");

std::string object(const std::string& name, const std::string& vertices, const std::string& triangles) {
  return "<object><metadata type=\"name\">" + name + "</metadata><mesh><vertices>" + vertices +
         "</vertices><volume>" + triangles + "</volume></mesh></object>";
}

const std::string GOOD = "<amf>" + object("o", THREE, tri("0", "1", "2")) + "</amf>";

struct Read {
  std::vector<AmfObject> objects;
  std::string out, err, thrown;
  char next;  // the input's character after the read: the prompt takes exactly one
};

// Reads xml from a file (nullptr: a file that does not exist).
Read read(const std::string* xml) {
  const TempFolder dir("amfread");
  const std::string path = xml ? dir.write("scene.amf", *xml) : dir.file("missing.amf");
  Read r;
  std::istringstream input("xy");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  try {
    amfread(r.objects, path, input);
  } catch (const std::exception& e) {
    r.thrown = e.what();
  }
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  r.next = static_cast<char>(input.get());
  return r;
}

// A bad number stops the read with an error naming the element, the vertex or
// triangle, the object and the file (the program then ends with status 1).
std::string withVertex(const std::string& from, const std::string& to) {
  std::string v = THREE;
  v.replace(v.find(from), from.size(), to);
  return "<amf>" + object("electrode1", v, tri("0", "1", "2")) + "</amf>";
}
std::string withTriangle(const char* v1, const char* v2) {
  return "<amf>" + object("electrode1", THREE, tri("0", "1", "2") + tri(v1, v2, "2")) + "</amf>";
}

TEST(AmfRead, MalformedFilesAreReportedAndTheirBadPartsSkipped) {
  std::string binary, open, close;
  for (int n = 0; n < 1024; ++n) binary.push_back(static_cast<char>((n * 37 + 11) & 0xff));  // NULs included
  for (int n = 0; n < 100000; ++n) open += "<g>", close += "</g>";  // a parser recursing per level would overflow
  const struct {
    const char* label;
    std::string xml;       // "-": no file at all
    const char* out;       // a line standard output must hold
    std::string err;       // all of standard error
    std::string objects;   // summary() afterwards
    std::string thrown{};  // how the message of the error thrown starts ("": none thrown)
  } cases[] = {
      {"missing file", "-", "Failed to load file: ", "", ""},
      {"binary file", binary, "Failed to load file: ", "", ""},
      {"truncated file", GOOD.substr(0, 60), "Failed to load file: ", "", ""},
      {"root named AMF", "<AMF><object/></AMF>", "File loaded successfully", "Invalid AMF file format\n", ""},
      {"no objects", "<amf unit=\"millimeter\"/>", "All objects processed", "", ""},
      {"deeply nested elements", "<amf>" + open + close + object("o", THREE, tri("0", "1", "2")) + "</amf>",
       "Object name: o", "", "o v=3 t=1"},
      {"dropped objects leave no gap",
       "<amf>" + object("a", THREE, tri("0", "1", "2")) + "<object><mesh/></object>" +
           "<object><metadata>c</metadata></object>" + object("d", THREE, "") + "</amf>",
       "Object name: d", "Missing metadata element\nMissing mesh element\n", "a v=3 t=1; d v=3 t=0"},
      {"vertex without coordinates is skipped",
       "<amf>" + object("o", vertex("0", "0", "0") + "<vertex><color/></vertex>" + vertex("1", "0", "0") +
                                 vertex("0", "1", "0"), tri("0", "1", "2")) + "</amf>",
       "Object processed successfully", "Missing coordinates element\n", "o v=3 t=1"},
      {"out-of-range indices skip their triangle only",
       "<amf>" + object("o", THREE, tri("0", "1", "3") + tri("-1", "1", "2") + tri("2", "1", "0")) + "</amf>",
       "Object processed successfully", "Invalid triangle vertex index\nInvalid triangle vertex index\n", "o v=3 t=1"},
      {"second volume ignored, unknown elements skipped",
       "<amf><object><metadata>o</metadata><color/><mesh><vertices>" + THREE +
           "<edge/></vertices><volume><metadata>v</metadata>" + tri("0", "1", "2") + "</volume><volume>" +
           tri("0", "1", "2") + tri("0", "1", "2") + "</volume></mesh></object></amf>",
       "Object processed successfully", "", "o v=3 t=1"},
      {"word for a coordinate", withVertex("<y>1</y>", "<y>one</y>"), "Object name: electrode1", "", "",
       "invalid stold argument in <y> of vertex 3 of object \"electrode1\" in "},
      {"coordinate too large", withVertex("<x>1</x>", "<x>1e999</x>"), "Object name: electrode1", "", "",
       "stold argument out of range in <x> of vertex 2"},
      {"coordinate not a number", withVertex("<z>0</z>", "<z>nan</z>"), "Object name: electrode1", "", "",
       "\"nan\" is not a finite number in <z> of vertex 1 of object \"electrode1\""},
      {"empty index", withTriangle("0", ""), "Object name: electrode1", "", "", "invalid stoi argument in <v2> of triangle 2"},
      {"index too large", withTriangle("99999999999", "1"), "Object name: electrode1", "", "",
       "stoi argument out of range in <v1> of triangle 2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const Read r = read(c.xml == "-" ? nullptr : &c.xml);
    EXPECT_EQ(r.thrown.substr(0, c.thrown.size()), c.thrown);
    EXPECT_TRUE(c.thrown.empty() ? r.thrown.empty() : r.thrown.ends_with("/scene.amf")) << r.thrown;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(summary(r.objects), c.objects);
    // The prompt comes once the file is read as AMF without error, and waits for one character.
    const bool waits = r.out.find("Press the enter key once the confirmation is complete\n") != std::string::npos;
    EXPECT_EQ(waits, r.thrown.empty() && r.out.find("AMF file format validated") != std::string::npos) << r.out;
    EXPECT_EQ(r.next, waits ? 'y' : 'x');
  }
}

TEST(AmfRead, RecordsHoldCopiedCornersAndBoxes) {
  // The second vertex lacks coordinates, so index 1 is the file's third vertex.
  const std::string xml = "<amf>" +
                          object("o", vertex(" \t2.5abc", "0x1p-2", "-1e2") + "<vertex/>" + vertex("-3", "7", "0.5") +
                                          vertex("1", "-4", "9"), tri("1", "2", "0")) + "</amf>";
  const AmfObject o = read(&xml).objects.at(0);
  EXPECT_EQ(o.vertices[0], (Vec3{2.5, 0.25, -100}));
  EXPECT_TRUE(o.triangles[0].a == (Vec3{-3, 7, 0.5}) && o.triangles[0].b == (Vec3{1, -4, 9}) &&
              o.triangles[0].c == o.vertices[0]);
  EXPECT_EQ(o.bbox_min, (Vec3{-3, -4, -100}));
  EXPECT_EQ(o.bbox_max, (Vec3{2.5, 7, 9}));
  EXPECT_TRUE(bvhMatches(o));  // the ray index is built
}

}  // namespace
