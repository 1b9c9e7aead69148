#include "geometry/amfread.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <stdexcept>

#include <pugixml.hpp>

#include "geometry/buildObjectBvh.h"
#include "mesh/conversions.h"

namespace plasmabox {

namespace {

// Coordinate text to double as strtod reads it (white space, sign, hexadecimal;
// trailing text ignored), with the messages of stold. "inf" and "nan" convert
// but are refused: no point could be tested against such a triangle.
double convertCoordinate(const char* text) {
  char* end = nullptr;
  const int saved_errno = errno;
  errno = 0;
  const double value = std::strtod(text, &end);
  const bool range_error = errno == ERANGE;
  errno = saved_errno;
  if (end == text) throw std::invalid_argument("invalid stold argument");
  if (range_error) throw std::out_of_range("stold argument out of range");
  if (!std::isfinite(value)) throw std::invalid_argument("\"" + std::string(text) + "\" is not a finite number");
  return value;
}

// Where a bad number sits, appended to the conversion's own message.
std::string place(const char* child, const char* element, std::size_t ordinal, const std::string& object,
                  const std::string& path) {
  return std::string(" in <") + child + "> of " + element + " " + std::to_string(ordinal) + " of object \"" +
         object + "\" in " + path;
}

// Runs convert on the element text, rethrowing its error with the place added.
template <class Convert>
auto convertAt(Convert convert, const char* text, const char* child, const char* element, std::size_t ordinal,
               const std::string& object, const std::string& path) {
  try {
    return convert(text);
  } catch (const std::invalid_argument& e) {
    throw std::invalid_argument(e.what() + place(child, element, ordinal, object, path));
  } catch (const std::out_of_range& e) {
    throw std::out_of_range(e.what() + place(child, element, ordinal, object, path));
  }
}

void readVertices(pugi::xml_node mesh, AmfObject& object, const std::string& path) {
  std::size_t ordinal = 0;  // 1-based position among the vertex elements, for messages
  for (pugi::xml_node vertex = mesh.child("vertices").child("vertex"); vertex;
       vertex = vertex.next_sibling("vertex")) {
    ++ordinal;
    const pugi::xml_node coordinates = vertex.child("coordinates");
    if (!coordinates) {
      // Later vertices move down one index: triangles refer to accepted vertices.
      std::cerr << "Missing coordinates element" << std::endl;
      continue;
    }
    Vec3 v;
    const char* axis_names[3] = {"x", "y", "z"};
    for (int a = 0; a < 3; ++a)
      v[a] = convertAt(convertCoordinate, coordinates.child(axis_names[a]).text().get(), axis_names[a], "vertex",
                       ordinal, object.name, path);
    object.vertices.push_back(v);
  }
}

void readTriangles(pugi::xml_node mesh, AmfObject& object, const std::string& path) {
  const auto convertIndex = [](const char* text) { return convertInt(text); };
  const int64_t vertex_count = static_cast<int64_t>(object.vertices.size());
  std::size_t ordinal = 0;
  for (pugi::xml_node triangle = mesh.child("volume").child("triangle"); triangle;
       triangle = triangle.next_sibling("triangle")) {
    ++ordinal;
    const char* corner_names[3] = {"v1", "v2", "v3"};
    int32_t index[3];
    for (int c = 0; c < 3; ++c)
      index[c] = convertAt(convertIndex, triangle.child(corner_names[c]).text().get(), corner_names[c], "triangle",
                           ordinal, object.name, path);
    bool valid = true;
    for (int c = 0; c < 3; ++c) valid = valid && index[c] >= 0 && index[c] < vertex_count;
    if (!valid) {
      std::cerr << "Invalid triangle vertex index" << std::endl;
      continue;
    }
    object.triangles.push_back({object.vertices[static_cast<std::size_t>(index[0])],
                                object.vertices[static_cast<std::size_t>(index[1])],
                                object.vertices[static_cast<std::size_t>(index[2])]});
  }
}

// Component-wise extremes of the vertices; only strictly smaller (larger)
// values replace a component. No vertices: the empty box (+inf, -inf), which
// no point is inside.
void computeBoundingBox(AmfObject& object) {
  if (object.vertices.empty()) {
    const double inf = std::numeric_limits<double>::infinity();
    object.bbox_min = {inf, inf, inf};
    object.bbox_max = {-inf, -inf, -inf};
    return;
  }
  object.bbox_min = object.vertices[0];
  object.bbox_max = object.vertices[0];
  for (const Vec3& v : object.vertices)
    for (int a = 0; a < 3; ++a) {
      if (v[a] < object.bbox_min[a]) object.bbox_min[a] = v[a];
      if (v[a] > object.bbox_max[a]) object.bbox_max[a] = v[a];
    }
}

}  // namespace

void amfread(std::vector<AmfObject>& objects, const std::string& path, std::istream& input) {
  std::cout << "Loading file: " << path << std::endl;
  pugi::xml_document doc;
  // A folder cannot hold a document; the parser would ask for an absurd buffer
  // to read it, so it fails here as any other unreadable file does.
  std::error_code ec;
  const bool is_folder = std::filesystem::is_directory(path, ec);
  if (is_folder || !doc.load_file(path.c_str(), pugi::parse_default, pugi::encoding_auto)) {
    std::cout << "Failed to load file: " << path << std::endl;
    return;
  }
  std::cout << "File loaded successfully: " << path << std::endl;

  const pugi::xml_node amf = doc.child("amf");
  if (!amf) {
    std::cerr << "Invalid AMF file format" << std::endl;
    return;
  }
  std::cout << "AMF file format validated" << std::endl;

  for (pugi::xml_node node = amf.child("object"); node; node = node.next_sibling("object")) {
    std::cout << "Processing object" << std::endl;
    AmfObject object;
    const pugi::xml_node metadata = node.child("metadata");
    if (!metadata) {
      std::cerr << "Missing metadata element" << std::endl;
      continue;
    }
    object.name = metadata.text().get();
    std::cout << "Object name: " << object.name << std::endl;
    const pugi::xml_node mesh = node.child("mesh");
    if (!mesh) {
      std::cerr << "Missing mesh element" << std::endl;
      continue;
    }
    readVertices(mesh, object, path);
    readTriangles(mesh, object, path);
    objects.push_back(std::move(object));
    std::cout << "Object processed successfully" << std::endl;
  }

  for (AmfObject& object : objects) {
    computeBoundingBox(object);
    if (!bvhMatches(object)) object.bvh = buildObjectBvh(object);
  }
  std::cout << "All objects processed" << std::endl;
  std::cout << "Press the enter key once the confirmation is complete" << std::endl;
  input.get();
}

}  // namespace plasmabox
