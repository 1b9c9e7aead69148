#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// Reads a whole file into memory. Throws std::runtime_error naming `path` when
// it is missing, a folder, or unreadable.
std::string readFileBytes(const std::string& path);

// Reads the triangles of one mesh file held in memory, telling the format from
// the content alone (never from the file name): a ZIP signature means zipped
// AMF, a size matching a binary STL means binary STL (even when its header
// begins with "solid"), text beginning with '<' means AMF, text beginning with
// "solid" means ASCII STL. `object_number` (from 1) picks the AMF object; an
// STL holds one object, so only 1 is accepted there. Throws std::runtime_error
// naming `name` and the problem for empty or unrecognised input and for any
// error of the format readers.
MeshSoup readMeshBytes(std::string_view bytes, const std::string& name, std::size_t object_number);

}  // namespace plasmabox
