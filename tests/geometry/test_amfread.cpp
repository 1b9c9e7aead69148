#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "consoleCapture.h"
#include "geometry/amfread.h"
#include "geometry/buildObjectBvh.h"
#include "geometry/containment.h"
#include "testMeshes.h"

using namespace plasmabox;

namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("plasmabox_amfread_" + std::to_string(getpid()));
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
  std::string file(const std::string& name) const { return (path / name).string(); }
};

std::string withPath(std::string text, const std::string& path) {
  for (std::size_t at = text.find("{P}"); at != std::string::npos; at = text.find("{P}", at + path.size()))
    text.replace(at, 3, path);
  return text;
}

// Objects as "name v=<vertices> t=<triangles>", separated by "; ".
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

const std::string HEAD = "out: Loading file: {P}\nout: File loaded successfully: {P}\nout: AMF file format validated\n";
const std::string TAIL = "out: All objects processed\nout: Press the enter key once the confirmation is complete\n";
const std::string OK_O = "out: Processing object\nout: Object name: o\n";

}  // namespace

TEST(AmfRead, TranscriptsAndRecordsOfWellAndMalformedFiles) {
  const struct {
    const char* label;
    std::string xml;         // empty: no file at all
    std::string transcript;  // {P} stands for the path
    std::string objects;     // summary() afterwards
    bool waits;              // the prompt consumed one character
  } cases[] = {
      {"missing file", "", "out: Loading file: {P}\nout: Failed to load file: {P}\n", "", false},
      {"root named AMF", "<AMF><object/></AMF>",
       "out: Loading file: {P}\nout: File loaded successfully: {P}\nerr: Invalid AMF file format\n", "", false},
      {"no objects", "<amf unit=\"millimeter\"/>", HEAD + TAIL, "", true},
      {"dropped objects leave no gap",
       "<amf>" + object("a", THREE, tri("0", "1", "2")) + "<object><mesh/></object>" +
           "<object><metadata>c</metadata></object>" + object("d", THREE, "") + "</amf>",
       HEAD + "out: Processing object\nout: Object name: a\nout: Object processed successfully\n"
              "out: Processing object\nerr: Missing metadata element\n"
              "out: Processing object\nout: Object name: c\nerr: Missing mesh element\n"
              "out: Processing object\nout: Object name: d\nout: Object processed successfully\n" + TAIL,
       "a v=3 t=1; d v=3 t=0", true},
      {"vertex without coordinates is skipped",
       "<amf>" + object("o", vertex("0", "0", "0") + "<vertex><color/></vertex>" + vertex("1", "0", "0") +
                                 vertex("0", "1", "0"), tri("0", "1", "2")) + "</amf>",
       HEAD + OK_O + "err: Missing coordinates element\nout: Object processed successfully\n" + TAIL, "o v=3 t=1",
       true},
      {"out-of-range indices skip their triangle only",
       "<amf>" + object("o", THREE, tri("0", "1", "3") + tri("-1", "1", "2") + tri("2", "1", "0")) + "</amf>",
       HEAD + OK_O + "err: Invalid triangle vertex index\nerr: Invalid triangle vertex index\n"
                     "out: Object processed successfully\n" + TAIL, "o v=3 t=1", true},
      {"second volume ignored, unknown elements skipped",
       "<amf><object><metadata>o</metadata><color/><mesh><vertices>" + THREE +
           "<edge/></vertices><volume><metadata>v</metadata>" + tri("0", "1", "2") + "</volume><volume>" +
           tri("0", "1", "2") + tri("0", "1", "2") + "</volume></mesh></object></amf>",
       HEAD + OK_O + "out: Object processed successfully\n" + TAIL, "o v=3 t=1", true},
  };
  TempDir dir;
  int n = 0;
  for (const auto& c : cases) {
    const std::string path = dir.file("case" + std::to_string(n++) + ".amf");
    if (!c.xml.empty()) writeText(path, c.xml);
    std::vector<AmfObject> objects;
    std::istringstream input("xy");
    {
      ConsoleCapture console;
      amfread(objects, path, input);
      EXPECT_EQ(console.transcript, withPath(c.transcript, path)) << c.label;
    }
    EXPECT_EQ(summary(objects), c.objects) << c.label;
    EXPECT_EQ(input.get(), c.waits ? 'y' : 'x') << c.label << ": the wait reads exactly one character";
  }
}

TEST(AmfRead, RecordsHoldCopiedCornersAndBoxes) {
  TempDir dir;
  // The second vertex lacks coordinates, so index 1 is the file's third vertex.
  writeText(dir.file("r.amf"),
            "<amf>" + object("o", vertex(" \t2.5abc", "0x1p-2", "-1e2") + "<vertex/>" + vertex("-3", "7", "0.5") +
                                      vertex("1", "-4", "9"), tri("1", "2", "0")) + "</amf>");
  std::vector<AmfObject> objects;
  std::istringstream closed_input;  // end of input: the wait ends at once
  ConsoleCapture console;
  amfread(objects, dir.file("r.amf"), closed_input);
  const AmfObject& o = objects.at(0);
  EXPECT_EQ(o.vertices[0], (Vec3{2.5, 0.25, -100}));
  EXPECT_TRUE(o.triangles[0].a == (Vec3{-3, 7, 0.5}) && o.triangles[0].b == (Vec3{1, -4, 9}) &&
              o.triangles[0].c == o.vertices[0]);
  EXPECT_EQ(o.bbox_min, (Vec3{-3, -4, -100}));
  EXPECT_EQ(o.bbox_max, (Vec3{2.5, 7, 9}));
  EXPECT_TRUE(bvhMatches(o));  // the ray index is built
}
