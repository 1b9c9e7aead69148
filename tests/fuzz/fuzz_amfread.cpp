// Arbitrary documents to the simulation's AMF reader; the indexed containment
// must match the full scan, and no point called clear may be in an object.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>

#include "geometry/amfread.h"
#include "geometry/containment.h"
#include "geometry/findClearCells.h"
#include "mesh/Grid.h"
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

// A 9^3 mesh over the objects' boxes: where the classification says clear at a
// node, vertex or box centre, the query must find no object.
void checkClearCells(const std::vector<AmfObject>& world) {
  Vec3 lo{INFINITY, INFINITY, INFINITY}, hi{-INFINITY, -INFINITY, -INFINITY};
  for (const AmfObject& o : world)
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], o.bbox_min[a]), hi[a] = std::max(hi[a], o.bbox_max[a]);
  for (int a = 0; a < 3; ++a) {
    const double widen = 0.1 * (hi[a] - lo[a]) + 1e-3;
    lo[a] -= widen, hi[a] += widen;
    if (!(std::isfinite(lo[a]) && std::isfinite(hi[a]) && lo[a] < hi[a])) return;
  }
  Grid grid(9, 9, 9);
  grid.setExtents(lo, hi);
  const ClearCells clear = findClearCells(grid, world, 1);
  std::vector<Vec3> probes;
  for (int i = 0; i < 9; ++i)
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < 9; ++k) probes.push_back(grid.nodePosition(i, j, k));
  for (const AmfObject& o : world) {
    probes.push_back(0.5 * (o.bbox_min + o.bbox_max));
    for (const Vec3& v : o.vertices)
      probes.insert(probes.end(), {v, {std::nextafter(v.x, -INFINITY), v.y, v.z}, {v.x, std::nextafter(v.y, INFINITY), v.z}});
  }
  for (const Vec3& p : probes)
    if (inClearPart(clear, p) && findContainingObjectIndex(world, p) >= 0) std::abort();
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
  checkClearCells(world);
  return 0;
}
