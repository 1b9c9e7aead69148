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

// A two-object AMF in the style CAD tools write: no names on the first object,
// colours and normals around the data, an <edge> among the vertices, a second
// volume, CRLF line ends, an inch unit.
const std::string TWO_OBJECTS =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\r\n"
    "<amf unit=\"inch\" version=\"1.1\">\r\n"
    " <metadata type=\"name\">whole file</metadata>\r\n"
    " <object id=\"7\">\r\n"
    "  <color><r>1</r><g>0</g><b>0</b></color>\r\n"
    "  <mesh>\r\n"
    "   <vertices>\r\n"
    "    <vertex><color><r>1</r></color><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>\r\n"
    "    <vertex><coordinates><x> 1 </x><y>0</y><z>0</z></coordinates><normal><nx>1</nx></normal></vertex>\r\n"
    "    <vertex><coordinates><z>0</z><y>1</y><x>0</x></coordinates></vertex>\r\n"
    "    <vertex><coordinates><x>0</x><y>0</y><z>1.5e0</z></coordinates></vertex>\r\n"
    "    <edge><v1>0</v1><dx1>0</dx1></edge>\r\n"
    "   </vertices>\r\n"
    "   <volume materialid=\"2\">\r\n"
    "    <metadata type=\"name\">half</metadata>\r\n"
    "    <triangle><color><r>1</r></color><v1>0</v1><v2>2</v2><v3>1</v3></triangle>\r\n"
    "    <triangle><v1>0</v1><v2>1</v2><v3>3</v3><color><r>1</r></color></triangle>\r\n"
    "   </volume>\r\n"
    "   <volume><triangle><v1>1</v1><v2>2</v2><v3>3</v3></triangle>\r\n"
    "           <triangle><v3>3</v3><v2>0</v2><v1>2</v1></triangle></volume>\r\n"
    "  </mesh>\r\n"
    " </object>\r\n"
    " <metadata type=\"author\">somebody</metadata>\r\n"
    " <object id=\"0\"><metadata type=\"cad\">x</metadata><metadata type=\"Name\">Second</metadata>\r\n"
    "  <mesh><vertices>\r\n"
    "   <vertex><coordinates><x>5</x><y>5</y><z>5</z></coordinates></vertex>\r\n"
    "   <vertex><coordinates><x>6</x><y>5</y><z>5</z></coordinates></vertex>\r\n"
    "   <vertex><coordinates><x>5</x><y>6</y><z>5</z></coordinates></vertex>\r\n"
    "  </vertices><volume><triangle><v1>0</v1><v2>1</v2><v3>2</v3></triangle></volume></mesh>\r\n"
    " </object>\r\n"
    " <material id=\"2\"><color><r>0</r></color></material>\r\n"
    " <constellation id=\"9\"><instance objectid=\"7\"><deltax>3</deltax></instance></constellation>\r\n"
    "</amf>\r\n";

TEST(AmfReader, MergesAllVolumesOfTheChosenObjectAndSkipsDecoration) {
  const MeshSoup soup = readMeshBytes(TWO_OBJECTS, "t.amf", 1);
  EXPECT_EQ(soup.format, "AMF");
  EXPECT_EQ(soup.object_count, 2u);
  EXPECT_EQ(soup.volume_count, 2u);
  EXPECT_EQ(soup.source_name, "");  // the root's name is not the object's
  EXPECT_EQ(soup.unit_label, "inch");
  EXPECT_EQ(soup.metres_per_unit, 0.0254);
  const std::vector<Vec3> expected = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1.5},
                                      {1, 0, 0}, {0, 1, 0}, {0, 0, 1.5}, {0, 1, 0}, {0, 0, 0}, {0, 0, 1.5}};
  EXPECT_EQ(soup.corners, expected);
}

TEST(AmfReader, ObjectsAreCountedFromOneInFileOrderNotById) {
  const MeshSoup second = readMeshBytes(TWO_OBJECTS, "t.amf", 2);
  EXPECT_EQ(second.source_name, "Second");
  ASSERT_EQ(second.corners.size(), 3u);
  EXPECT_EQ(second.corners[1], (Vec3{6, 5, 5}));
  try {
    readMeshBytes(TWO_OBJECTS, "t.amf", 3);
    ADD_FAILURE() << "object 3 accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "t.amf: object 3 requested, but the file holds 2 object(s), numbered from 1");
  }
}

TEST(AmfReader, UnitAttributeGivesMetresPerUnit) {
  const struct {
    const char* unit;
    double metres;
  } units[] = {{"", 1e-3}, {"millimeter", 1e-3}, {"Meter", 1.0}, {"metre", 1.0},
               {"inch", 0.0254}, {"feet", 0.3048}, {"micron", 1e-6}};
  for (const auto& u : units) EXPECT_EQ(amfUnitInMetres(u.unit, "f"), u.metres) << u.unit;
  EXPECT_THROW(amfUnitInMetres("furlong", "f"), std::runtime_error);
  // No attribute at all: the AMF default, millimetres.
  const std::string no_unit =
      "<amf><object><mesh><vertices><vertex><coordinates><x>1</x><y>2</y><z>3</z></coordinates></vertex>"
      "</vertices><volume><triangle><v1>0</v1><v2>0</v2><v3>0</v3></triangle></volume></mesh></object></amf>";
  EXPECT_EQ(readAmf(no_unit, "f", 1).metres_per_unit, 1e-3);
}

// Builds a ZIP archive in memory with the given (entry name, content) pairs;
// a name ending in '/' adds a folder entry.
std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
  TempFolder folder;
  const std::string path = folder.file("a.zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  if (!archive) return "";
  for (const auto& [name, content] : entries) {
    if (!name.empty() && name.back() == '/') {
      zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8);
      continue;
    }
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
  }
  zip_close(archive);  // the buffers must stay alive until here
  return readWholeFile(path);
}

TEST(AmfReader, ZippedAmfIsUnpackedWhateverTheEntryIsCalled) {
  const MeshSoup plain = readMeshBytes(TWO_OBJECTS, "t.amf", 2);
  for (const auto& entries : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"other-name.amf", TWO_OBJECTS}},
           {{"folder/", ""}, {"folder/model", TWO_OBJECTS}},
           {{"readme.txt", "hello"}, {"model.AMF", TWO_OBJECTS}}}) {
    const std::string zipped = zipOf(entries);
    ASSERT_FALSE(zipped.empty());
    const MeshSoup soup = readMeshBytes(zipped, "z.amf", 2);
    EXPECT_EQ(soup.format, "zipped AMF");
    EXPECT_EQ(soup.corners, plain.corners);
    EXPECT_EQ(soup.source_name, "Second");
  }
}

struct BadAmf {
  const char* label;
  std::string bytes;
  const char* message;
};

std::string oneObject(const std::string& vertices, const std::string& triangles) {
  return "<amf><object><mesh><vertices>" + vertices + "</vertices><volume>" + triangles +
         "</volume></mesh></object></amf>";
}

const std::string V3 =
    "<vertex><coordinates><x>0</x><y>0</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>1</x><y>0</y><z>0</z></coordinates></vertex>"
    "<vertex><coordinates><x>0</x><y>1</y><z>0</z></coordinates></vertex>";

TEST(AmfReader, BadInputIsRefusedWithMessageNamingFileAndPlace) {
  const std::string zipped = zipOf({{"m.amf", TWO_OBJECTS}});
  const std::vector<BadAmf> cases = {
      {"malformed xml", "<amf><object></amf>", "malformed XML at line 1"},
      {"other root", "<AMF><object/></AMF>", "not an AMF file: the root element is <AMF>"},
      {"unknown unit", "<amf unit=\"mm\"></amf>", "unknown AMF unit 'mm'"},
      {"no object at all", "<amf></amf>", "the AMF file holds no <object>"},
      {"no mesh", "<amf><object><metadata type=\"name\">a</metadata></object></amf>", "object 1 has no <mesh>"},
      {"no triangles", oneObject(V3, ""), "object 1 has no triangles"},
      {"vertex without coordinates", oneObject(V3 + "<vertex><x>1</x></vertex>", ""),
       "object 1, vertex index 3: <vertex> has no <coordinates>"},
      {"missing z", oneObject("<vertex><coordinates><x>0</x><y>0</y></coordinates></vertex>", ""),
       "vertex index 0: <coordinates> has no <z>"},
      {"letter in y", oneObject("<vertex><coordinates><x>0</x><y>a</y><z>0</z></coordinates></vertex>", ""),
       "vertex index 0: <y> 'a' is not a finite number"},
      {"trailing text", oneObject("<vertex><coordinates><x>2.5mm</x><y>0</y><z>0</z></coordinates></vertex>", ""),
       "<x> '2.5mm' is not a finite number"},
      {"nan", oneObject("<vertex><coordinates><x>nan</x><y>0</y><z>0</z></coordinates></vertex>", ""),
       "<x> 'nan' is not a finite number"},
      {"index out of range", oneObject(V3, "<triangle><v1>0</v1><v2>1</v2><v3>3</v3></triangle>"),
       "volume 1, triangle 1: <v3> index 3 is out of range: the object has 3 vertices"},
      {"huge index", oneObject(V3, "<triangle><v1>9999999999999999999999</v1><v2>1</v2><v3>2</v3></triangle>"),
       "<v1> '9999999999999999999999' is not a vertex index"},
      {"negative index", oneObject(V3, "<triangle><v1>-1</v1><v2>1</v2><v3>2</v3></triangle>"),
       "<v1> '-1' is not a vertex index"},
      {"missing v2", oneObject(V3, "<triangle><v1>0</v1><v3>2</v3></triangle>"), "<triangle> has no <v2>"},
      {"zip cut short", zipped.substr(0, zipped.size() / 2), "damaged ZIP archive"},
      {"zip of a folder only", zipOf({{"folder/", ""}}), "holds no file entry"},
      {"zip of two models", zipOf({{"a.amf", TWO_OBJECTS}, {"b.amf", TWO_OBJECTS}}), "holds 2 file entries"},
      {"zip of a text", zipOf({{"notes.txt", "just words"}}), "the ZIP entry is not an XML (AMF) document"},
  };
  for (const BadAmf& c : cases) {
    try {
      readMeshBytes(c.bytes, "in/model.amf", 1);
      ADD_FAILURE() << c.label << ": accepted";
    } catch (const std::runtime_error& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind("in/model.amf: ", 0), 0u) << c.label << ": " << what;
      EXPECT_NE(what.find(c.message), std::string::npos) << c.label << ": " << what;
    }
  }
}

TEST(AmfReader, TruncatedAndCorruptedDocumentsNeverCrash) {
  const std::string zipped = zipOf({{"m.amf", TWO_OBJECTS}});
  for (const std::string& whole : {TWO_OBJECTS, zipped}) {
    for (std::size_t n = 0; n <= whole.size(); n += 3) {
      std::string bytes = whole.substr(0, n);
      if (n > 8) bytes[n - 5] = char(bytes[n - 5] ^ 0x21);
      try {
        readMeshBytes(bytes, "f.amf", 1);
      } catch (const std::runtime_error&) {
      }
    }
  }
}

}  // namespace
