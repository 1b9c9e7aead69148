// Arbitrary bytes to the converter's sniffing reader (plain or zipped AMF, else STL),
// then welding, report and writer; the first byte picks the object number (1 to 4).
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

#include "tools/amf/describeMesh.h"
#include "tools/amf/readMeshFile.h"
#include "tools/amf/weldVertices.h"
#include "tools/amf/writeAmf.h"

using namespace plasmabox;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::size_t object_number = 1 + data[0] % 4;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    const MeshSoup soup = readMeshBytes(bytes, "fuzz.amf", object_number);
    if (soup.corners.size() % 3 != 0) __builtin_trap();
    NamedMesh named{"part", weldVertices(soup.corners, soup.metres_per_unit, "fuzz.amf")};
    (void)describeMesh(named.mesh);
    (void)formatAmf({named});
  } catch (const std::runtime_error&) {  // a malformed file: the converter reports it and stops
  }
  return 0;
}
