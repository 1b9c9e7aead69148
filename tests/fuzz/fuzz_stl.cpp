// Arbitrary bytes to the converter's STL reader, and what it accepts on through
// welding, the mesh report and the AMF writer, as the converter does.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "tools/amf/describeMesh.h"
#include "tools/amf/readStl.h"
#include "tools/amf/weldVertices.h"
#include "tools/amf/writeAmf.h"

using namespace plasmabox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const MeshSoup soup = readStl(bytes, "fuzz.stl");
    if (soup.corners.size() % 3 != 0) __builtin_trap();
    NamedMesh named{"part", weldVertices(soup.corners, soup.metres_per_unit, "fuzz.stl")};
    for (const auto& t : named.mesh.triangles)
      for (std::uint32_t v : t)
        if (v >= named.mesh.vertices.size()) __builtin_trap();
    (void)describeMesh(named.mesh);
    (void)formatAmf({named});
  } catch (const std::runtime_error&) {  // a malformed file: the converter reports it and stops
  }
  return 0;
}
