#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// Length of one unit of the AMF `unit` attribute in metres: "millimeter"
// (the AMF default when the attribute is absent or empty), "meter", "inch",
// "feet", "micron"; British spellings and "foot" are accepted too, ignoring
// case. Throws std::runtime_error naming `name` for any other unit.
double amfUnitInMetres(std::string_view unit, const std::string& name);

// Reads one object of an uncompressed AMF document held in memory.
// `object_number` counts the `object` elements of the root in file order,
// starting at 1 (their `id` attributes are not used: writers start them at 0,
// 1 or anything). All `volume` elements of that object are merged into one
// triangle list. Vertices are `vertex/coordinates/x,y,z`; anything else in
// the file (colours, normals, edges, materials, metadata, constellations) is
// skipped. The result is in file units; metres_per_unit comes from the root's
// `unit` attribute. Throws std::runtime_error naming `name`, the object, and
// the element at fault for malformed XML, a missing root, object, mesh,
// coordinates or index, a bad number, or an index out of range.
MeshSoup readAmf(std::string_view xml, const std::string& name, std::size_t object_number);

}  // namespace plasmabox
