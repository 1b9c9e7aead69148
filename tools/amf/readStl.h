#pragma once

#include <string>
#include <string_view>

#include "tools/amf/MeshSoup.h"

namespace plasmabox {

// True when bytes have exactly the size a binary STL announces in its header:
// 80 header bytes, a 32-bit little-endian triangle count, then 50 bytes per
// triangle. This is the test that tells a binary STL whose header happens to
// begin with "solid" from an ASCII one.
bool hasBinaryStlSize(std::string_view bytes);

// Reads a binary STL from memory. Returns the triangles (file units, STL has no
// unit). Throws std::runtime_error naming `name` when the size does not match
// the announced count or a coordinate is not finite.
MeshSoup readBinaryStl(std::string_view bytes, const std::string& name);

// Reads an ASCII STL ("solid ... facet normal ... outer loop vertex x y z ...
// endloop endfacet ... endsolid") from memory. Keywords are matched without
// regard to case; several solids in one file are merged; normals are skipped.
// Throws std::runtime_error naming `name` and the line of the first problem.
MeshSoup readAsciiStl(std::string_view bytes, const std::string& name);

// Reads an STL of either kind, told apart by content: the exact binary size
// wins, otherwise text beginning with "solid" is read as ASCII, otherwise the
// bytes are taken as a binary STL (and any size mismatch is reported).
MeshSoup readStl(std::string_view bytes, const std::string& name);

}  // namespace plasmabox
