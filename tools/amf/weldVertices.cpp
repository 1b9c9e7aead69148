#include "tools/amf/weldVertices.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <unordered_map>

namespace plasmabox {

namespace {

// Bit patterns of the three coordinates: exact equality, no tolerance, and a
// well-defined hash (NaN never gets here: the readers refuse it).
struct VertexKey {
  std::uint64_t x, y, z;
  bool operator==(const VertexKey&) const = default;
};

struct VertexKeyHash {
  std::size_t operator()(const VertexKey& k) const {
    // 64-bit mix of the three words (constants from splitmix64).
    std::uint64_t h = k.x * 0x9E3779B97F4A7C15ull;
    h ^= (h >> 31) ^ (k.y * 0xBF58476D1CE4E5B9ull);
    h ^= (h >> 29) ^ (k.z * 0x94D049BB133111EBull);
    return std::size_t(h ^ (h >> 32));
  }
};

std::uint64_t bitsOf(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

}  // namespace

IndexedMesh weldVertices(const std::vector<Vec3>& corners, double metres_per_unit, const std::string& name) {
  IndexedMesh mesh;
  std::unordered_map<VertexKey, std::uint32_t, VertexKeyHash> index_of;
  index_of.reserve(corners.size());
  mesh.triangles.reserve(corners.size() / 3);
  for (std::size_t t = 0; t + 2 < corners.size(); t += 3) {
    std::array<std::uint32_t, 3> tri{};
    for (int c = 0; c < 3; ++c) {
      // Adding +0.0 turns -0.0 into +0.0, so both weld to one vertex.
      const Vec3 p{corners[t + c].x * metres_per_unit + 0.0, corners[t + c].y * metres_per_unit + 0.0,
                   corners[t + c].z * metres_per_unit + 0.0};
      if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
        throw std::runtime_error(name + ": triangle " + std::to_string(t / 3 + 1) +
                                 ": a coordinate overflows after scaling");
      }
      const VertexKey key{bitsOf(p.x), bitsOf(p.y), bitsOf(p.z)};
      const auto [it, inserted] = index_of.try_emplace(key, std::uint32_t(mesh.vertices.size()));
      if (inserted) {
        if (mesh.vertices.size() >= std::numeric_limits<std::uint32_t>::max()) {
          throw std::runtime_error(name + ": more than 4294967295 distinct vertices");
        }
        mesh.vertices.push_back(p);
      }
      tri[c] = it->second;
    }
    mesh.triangles.push_back(tri);
  }
  return mesh;
}

}  // namespace plasmabox
