// Arbitrary documents to the simulation's AMF reader (through an in-memory file,
// as it takes a name); the indexed containment query must then match the full scan.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "geometry/amfread.h"
#include "geometry/containment.h"
#include "quietStreams.h"

using namespace plasmabox;

namespace {

int document_fd = -1;
std::string document_path;

// Replaces the content of the in-memory file by data.
bool storeDocument(const uint8_t* data, size_t size) {
  if (ftruncate(document_fd, 0) != 0 || lseek(document_fd, 0, SEEK_SET) != 0) return false;
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(document_fd, data + done, size - done);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void checkContainment(const std::vector<AmfObject>& world) {
  for (const AmfObject& object : world) {
    if (object.vertices.empty()) continue;
    const Vec3 probes[3] = {object.vertices.front(), 0.5 * (object.bbox_min + object.bbox_max), object.vertices.back()};
    for (const Vec3& p : probes)
      if (findContainingObjectIndex(world, p) != findContainingObjectIndexFullScan(world, p)) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  silenceStandardStreams();
  document_fd = memfd_create("fuzz_amfread", 0);
  if (document_fd < 0) std::abort();
  document_path = "/proc/self/fd/" + std::to_string(document_fd);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!storeDocument(data, size)) std::abort();
  std::vector<AmfObject> world;
  std::istringstream no_input;  // the Enter prompt sees end of input at once
  try {
    amfread(world, document_path, no_input);
  } catch (const std::invalid_argument&) {  // a bad number: reported to the user
    return 0;
  } catch (const std::out_of_range&) {
    return 0;
  }
  checkContainment(world);
  return 0;
}
