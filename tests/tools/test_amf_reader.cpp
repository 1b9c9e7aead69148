#include <gtest/gtest.h>
#include <zip.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "meshFixtures.h"
#include "support/run_program.h"
#include "tools/amf/readAmf.h"
#include "tools/amf/readMeshFile.h"

namespace {

std::string v(const char* x, const char* y, const char* z) {
  return std::string("<vertex><coordinates><x>") + x + "</x><y>" + y + "</y><z>" + z + "</z></coordinates></vertex>\r\n";
}
std::string tri(int a, int b, int c) {
  return "<triangle><v1>" + std::to_string(a) + "</v1><v2>" + std::to_string(b) + "</v2><v3>" + std::to_string(c) +
         "</v3></triangle>\r\n";
}

// Two objects as CAD tools write them: ids that are not positions, no name on
// the first, colours, normals and an edge around the data, two volumes, CRLF
// line ends, an inch unit.
const std::string TWO_OBJECTS =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n<amf unit=\"inch\" version=\"1.1\">\r\n"
    "<metadata type=\"name\">whole file</metadata>\r\n<object id=\"7\"><color><r>1</r></color><mesh><vertices>\r\n"
    "<vertex><color><r>1</r></color><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>\r\n"
    "<vertex><coordinates><x> 1 </x><y>0</y><z>0</z></coordinates><normal><nx>1</nx></normal></vertex>\r\n"
    "<vertex><coordinates><z>0</z><y>1</y><x>0</x></coordinates></vertex>\r\n" + v("0", "0", "1.5e0") +
    "<edge><v1>0</v1><dx1>0</dx1></edge></vertices>\r\n<volume materialid=\"2\"><metadata type=\"name\">half</metadata>"
    "<triangle><color><r>1</r></color><v1>0</v1><v2>2</v2><v3>1</v3></triangle>\r\n" + tri(0, 1, 3) +
    "</volume><volume>" + tri(1, 2, 3) + "<triangle><v3>3</v3><v2>0</v2><v1>2</v1></triangle></volume></mesh></object>\r\n"
    "<object id=\"0\"><metadata type=\"cad\">x</metadata><metadata type=\"Name\">Second</metadata><mesh><vertices>" +
    v("5", "5", "5") + v("6", "5", "5") + v("5", "6", "5") + "</vertices><volume>" + tri(0, 1, 2) +
    "</volume></mesh></object>\r\n<material id=\"2\"><color><r>0</r></color></material>\r\n"
    "<constellation id=\"9\"><instance objectid=\"7\"><deltax>3</deltax></instance></constellation></amf>\r\n";

TEST(AmfReader, MergesTheVolumesOfTheObjectCountedFromOneInFileOrder) {
  const MeshSoup soup = readMeshBytes(TWO_OBJECTS, "t.amf", 1);
  EXPECT_EQ(soup.format, "AMF");
  EXPECT_EQ(soup.object_count, 2u);
  EXPECT_EQ(soup.volume_count, 2u);
  EXPECT_EQ(soup.source_name, "");  // the root's name is not the object's
  EXPECT_EQ(soup.metres_per_unit, 0.0254);
  const std::vector<Vec3> expected = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1.5},
                                      {1, 0, 0}, {0, 1, 0}, {0, 0, 1.5}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1.5}};
  EXPECT_EQ(soup.corners, expected);
  const MeshSoup second = readMeshBytes(TWO_OBJECTS, "t.amf", 2);
  EXPECT_EQ(second.source_name, "Second");
  EXPECT_EQ(second.corners, (std::vector<Vec3>{{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}));

  const struct {
    const char* unit;
    double metres;
  } units[] = {{"", 1e-3}, {"millimeter", 1e-3}, {"Meter", 1.0}, {"metre", 1.0}, {"inch", 0.0254}, {"feet", 0.3048}, {"micron", 1e-6}};
  for (const auto& u : units) EXPECT_EQ(amfUnitInMetres(u.unit, "f"), u.metres) << u.unit;
  EXPECT_EQ(readAmf("<amf><object><mesh><vertices>" + v("1", "2", "3") + "</vertices><volume>" + tri(0, 0, 0) +
                        "</volume></mesh></object></amf>", "f", 1).metres_per_unit, 1e-3);  // no attribute: millimetres
}

// A ZIP archive of (entry name, content) pairs; a name ending in '/' is a folder.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  TempFolder folder;
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

TEST(AmfReader, ZippedAmfIsUnpackedWhateverTheEntryIsCalled) {
  const MeshSoup plain = readMeshBytes(TWO_OBJECTS, "t.amf", 2);
  for (const auto& entries : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"folder/", ""}, {"folder/model", TWO_OBJECTS}}, {{"readme.txt", "hello"}, {"model.AMF", TWO_OBJECTS}}}) {
    const MeshSoup soup = readMeshBytes(zipOf(entries), "z.amf", 2);
    EXPECT_EQ(soup.format, "zipped AMF");
    EXPECT_EQ(soup.corners, plain.corners);
    EXPECT_EQ(soup.source_name, "Second");
  }
}

TEST(AmfReader, BadInputIsRefusedWithMessageNamingFileAndPlace) {
  const std::string V3 = v("0", "0", "0") + v("1", "0", "0") + v("0", "1", "0");
  const auto one = [](const std::string& vertices, const std::string& triangles) {
    return "<amf><object><mesh><vertices>" + vertices + "</vertices><volume>" + triangles + "</volume></mesh></object></amf>";
  };
  const std::string zipped = zipOf({{"m.amf", TWO_OBJECTS}});
  const struct {
    std::string bytes;
    const char* message;
  } cases[] = {
      {"<amf><object></amf>", "malformed XML at line 1"},
      {"<AMF><object/></AMF>", "not an AMF file: the root element is <AMF>"},
      {"<amf unit=\"mm\"></amf>", "unknown AMF unit 'mm'"},
      {"<amf></amf>", "the AMF file holds no <object>"},
      {one(V3, ""), "object 1 has no triangles"},
      {one(V3 + "<vertex><x>1</x></vertex>", ""), "object 1, vertex index 3: <vertex> has no <coordinates>"},
      {one("<vertex><coordinates><x>0</x><y>0</y></coordinates></vertex>", ""), "vertex index 0: <coordinates> has no <z>"},
      {one(v("2.5mm", "0", "0"), ""), "<x> '2.5mm' is not a finite number"},
      {one(v("0", "nan", "0"), ""), "<y> 'nan' is not a finite number"},
      {one(V3, tri(0, 1, 3)), "volume 1, triangle 1: <v3> index 3 is out of range: the object has 3 vertices"},
      {one(V3, tri(-1, 1, 2)), "<v1> '-1' is not a vertex index"},
      {TWO_OBJECTS, "object 3 requested, but the file holds 2 object(s), numbered from 1"},
      {zipped.substr(0, zipped.size() / 2), "damaged ZIP archive"},
      {zipOf({{"a.amf", TWO_OBJECTS}, {"b.amf", TWO_OBJECTS}}), "holds 2 file entries"},
      {zipOf({{"notes.txt", "just words"}}), "the ZIP entry is not an XML (AMF) document"},
  };
  for (const auto& c : cases) {
    try {
      readMeshBytes(c.bytes, "in/model.amf", c.bytes == TWO_OBJECTS ? 3 : 1);
      ADD_FAILURE() << c.message << ": accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("in/model.amf: ", 0), 0u) << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << what;
    }
  }
}

}  // namespace
