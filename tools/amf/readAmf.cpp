#include "tools/amf/readAmf.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "tools/amf/textNumbers.h"

namespace plasmabox {

namespace {

// Where in the file an error lies, as "object 2, volume 1, triangle 7".
std::string place(std::size_t object_number, const std::string& rest) {
  return "object " + std::to_string(object_number) + (rest.empty() ? "" : ", " + rest);
}

// Text of an element quoted for a message, without surrounding blanks.
std::string quoted(std::string_view text) { return quoteForMessage(trimBlanks(text)); }

std::size_t lineOfOffset(std::string_view xml, std::ptrdiff_t offset) {
  const std::size_t end = std::min<std::size_t>(xml.size(), offset < 0 ? 0 : std::size_t(offset));
  return 1 + std::size_t(std::count(xml.begin(), xml.begin() + std::ptrdiff_t(end), '\n'));
}

double coordinate(const pugi::xml_node& coordinates, const char* axis, const std::string& name,
                  const std::string& where) {
  const pugi::xml_node element = coordinates.child(axis);
  if (!element) throw std::runtime_error(name + ": " + where + ": <coordinates> has no <" + axis + ">");
  double v = 0.0;
  if (!parseFiniteDouble(element.text().get(), v)) {
    throw std::runtime_error(name + ": " + where + ": <" + axis + "> " + quoted(element.text().get()) +
                             " is not a finite number");
  }
  return v;
}

std::size_t cornerIndex(const pugi::xml_node& triangle, const char* corner, std::size_t vertex_count,
                        const std::string& name, const std::string& where) {
  const pugi::xml_node element = triangle.child(corner);
  if (!element) throw std::runtime_error(name + ": " + where + ": <triangle> has no <" + corner + ">");
  std::uint64_t index = 0;
  if (!parseIndex(element.text().get(), index)) {
    throw std::runtime_error(name + ": " + where + ": <" + corner + "> " + quoted(element.text().get()) +
                             " is not a vertex index (a non-negative integer)");
  }
  if (index >= vertex_count) {
    throw std::runtime_error(name + ": " + where + ": <" + corner + "> index " + std::to_string(index) +
                             " is out of range: the object has " + std::to_string(vertex_count) +
                             " vertices (indices start at 0)");
  }
  return std::size_t(index);
}

}  // namespace

double amfUnitInMetres(std::string_view unit, const std::string& name) {
  unit = trimBlanks(unit);
  if (unit.empty() || equalsNoCase(unit, "millimeter") || equalsNoCase(unit, "millimetre")) return 1e-3;
  if (equalsNoCase(unit, "meter") || equalsNoCase(unit, "metre")) return 1.0;
  if (equalsNoCase(unit, "inch")) return 0.0254;
  if (equalsNoCase(unit, "feet") || equalsNoCase(unit, "foot")) return 0.3048;
  if (equalsNoCase(unit, "micron") || equalsNoCase(unit, "micrometer") || equalsNoCase(unit, "micrometre")) {
    return 1e-6;
  }
  throw std::runtime_error(name + ": unknown AMF unit " + quoted(unit) +
                           " (expected millimeter, meter, inch, feet or micron)");
}

MeshSoup readAmf(std::string_view xml, const std::string& name, std::size_t object_number) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) {
    throw std::runtime_error(name + ": malformed XML at line " +
                             std::to_string(lineOfOffset(xml, parsed.offset)) + ": " + parsed.description());
  }
  const pugi::xml_node root = document.child("amf");
  if (!root) {
    const pugi::xml_node first = document.document_element();
    throw std::runtime_error(name + ": not an AMF file: the root element is " +
                             (first ? "<" + std::string(first.name()) + ">" : std::string("missing")) +
                             ", not <amf>");
  }

  MeshSoup soup;
  soup.format = "AMF";
  soup.unit_label = root.attribute("unit").value();
  soup.metres_per_unit = amfUnitInMetres(soup.unit_label, name);

  std::vector<pugi::xml_node> objects;
  for (pugi::xml_node o = root.child("object"); o; o = o.next_sibling("object")) objects.push_back(o);
  soup.object_count = objects.size();
  if (objects.empty()) throw std::runtime_error(name + ": the AMF file holds no <object>");
  if (object_number < 1 || object_number > objects.size()) {
    throw std::runtime_error(name + ": object " + std::to_string(object_number) + " requested, but the file holds " +
                             std::to_string(objects.size()) + " object(s), numbered from 1");
  }
  const pugi::xml_node object = objects[object_number - 1];

  // The name is the text of the first metadata whose type is "name"; many
  // writers give none, which is fine: the converter names the object itself.
  for (pugi::xml_node m = object.child("metadata"); m; m = m.next_sibling("metadata")) {
    if (equalsNoCase(m.attribute("type").value(), "name")) {
      soup.source_name = std::string(trimBlanks(m.text().get()));
      break;
    }
  }

  const pugi::xml_node mesh = object.child("mesh");
  if (!mesh) throw std::runtime_error(name + ": " + place(object_number, "") + " has no <mesh>");

  std::vector<Vec3> vertices;
  std::size_t vertex_index = 0;
  for (pugi::xml_node v = mesh.child("vertices").child("vertex"); v; v = v.next_sibling("vertex"), ++vertex_index) {
    const std::string where = place(object_number, "vertex index " + std::to_string(vertex_index));
    // A vertex without coordinates cannot simply be skipped: every later
    // index would then name the wrong vertex.
    const pugi::xml_node coordinates = v.child("coordinates");
    if (!coordinates) throw std::runtime_error(name + ": " + where + ": <vertex> has no <coordinates>");
    const double x = coordinate(coordinates, "x", name, where);
    const double y = coordinate(coordinates, "y", name, where);
    const double z = coordinate(coordinates, "z", name, where);
    vertices.push_back({x, y, z});
  }

  soup.volume_count = 0;
  for (pugi::xml_node volume = mesh.child("volume"); volume; volume = volume.next_sibling("volume")) {
    ++soup.volume_count;
    std::size_t t = 0;
    for (pugi::xml_node tri = volume.child("triangle"); tri; tri = tri.next_sibling("triangle")) {
      ++t;
      const std::string where =
          place(object_number, "volume " + std::to_string(soup.volume_count) + ", triangle " + std::to_string(t));
      const std::size_t a = cornerIndex(tri, "v1", vertices.size(), name, where);
      const std::size_t b = cornerIndex(tri, "v2", vertices.size(), name, where);
      const std::size_t c = cornerIndex(tri, "v3", vertices.size(), name, where);
      soup.corners.push_back(vertices[a]);
      soup.corners.push_back(vertices[b]);
      soup.corners.push_back(vertices[c]);
    }
  }
  if (soup.corners.empty()) {
    throw std::runtime_error(name + ": " + place(object_number, "") + " has no triangles");
  }
  return soup;
}

}  // namespace plasmabox
