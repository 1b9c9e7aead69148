#include "output/vtkImageBinary.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>
#include <type_traits>

#include "particles/currentDensity.h"

namespace plasmabox {

namespace {

template <class T>
constexpr std::string_view typeName() {
  if constexpr (std::is_same_v<T, int32_t>) return "Int32";
  return "Float64";
}

template <class T>
constexpr int componentCount() {
  if constexpr (std::is_same_v<T, Vec3>) return 3;
  return 1;
}

// Planes k0 .. k0 + planes - 1 of a field of ni x nj x nk nodes in VTK's
// point order (i fastest, then j, then k); value(q) is the value at storage
// index q. Storage is k fastest: for each (i, j) the values of a group of
// neighbouring planes lie side by side in memory and are read together, then
// written to their place in each plane, one sequential stream per plane. The
// group is kept small because the planes' streams lie a power of two apart
// and would evict each other from the cache.
template <class T, class Value>
void transposePlanes(int32_t ni_, int32_t nj_, int32_t nk_, const Value& value, int k0, std::size_t planes,
                     std::byte* out) {
  constexpr std::size_t GROUP = 8;
  const std::size_t ni = static_cast<std::size_t>(ni_), nj = static_cast<std::size_t>(nj_);
  const std::size_t nk = static_cast<std::size_t>(nk_);
  const std::size_t plane_bytes = ni * nj * sizeof(T);
  for (std::size_t g = 0; g < planes; g += GROUP) {
    const std::size_t n = std::min(GROUP, planes - g);
    for (std::size_t j = 0; j < nj; ++j)
      for (std::size_t i = 0; i < ni; ++i) {
        const std::size_t first = (i * nj + j) * nk + static_cast<std::size_t>(k0) + g;
        std::byte* dst = out + g * plane_bytes + (j * ni + i) * sizeof(T);
        for (std::size_t q = 0; q < n; ++q, dst += plane_bytes) {
          const T v = value(first + q);
          std::memcpy(dst, &v, sizeof(T));
        }
      }
  }
}

// An array of a field of ni x nj x nk nodes whose values value(q) gives.
// stored: whether the values behind value are whole (a field whose storage
// does not match its counts writes zeros, never a read past it).
template <class T, class Value>
VtkArray nodeArrayOf(std::string name, int32_t ni, int32_t nj, int32_t nk, Value value, bool stored = true) {
  static_assert(sizeof(Vec3) == 3 * sizeof(double));
  const uint64_t plane = static_cast<uint64_t>(ni) * static_cast<uint64_t>(std::max(nj, 0));
  VtkArray a{std::move(name), typeName<T>(), componentCount<T>(), NodeField<T>::nodeCount(ni, nj, nk), {}, plane};
  a.fill = [ni, nj, nk, value, stored, plane](uint64_t first, std::size_t count, std::byte* out) {
    if (!stored) {
      std::memset(out, 0, count * sizeof(T));
      return;
    }
    // writeAppendedFile asks for whole multiples of block_multiple, and the
    // array is a whole number of planes: every block is whole planes.
    assert(first % plane == 0 && count % plane == 0);
    transposePlanes<T>(ni, nj, nk, value, static_cast<int>(first / plane), count / plane, out);
  };
  return a;
}

template <class T>
VtkArray nodeArray(std::string name, const NodeField<T>& f) {
  const T* v = f.data.data();
  return nodeArrayOf<T>(std::move(name), f.ni, f.nj, f.nk, [v](std::size_t q) { return v[q]; },
                        f.data.size() == NodeField<T>::nodeCount(f.ni, f.nj, f.nk));
}

std::string triple(const double v[3]) { return exactText(v[0]) + " " + exactText(v[1]) + " " + exactText(v[2]); }

}  // namespace

bool writeVtkImageBinary(std::ostream& os, const World& world, const std::vector<Species>& species,
                         const AppendedOptions& options) {
  std::vector<VtkArray> arrays;
  arrays.push_back(nodeArray("object_id", world.object_id));
  arrays.push_back(nodeArray("NodeVol", world.grid.node_vol));
  arrays.push_back(nodeArray("phi", world.phi));
  arrays.push_back(nodeArray("rho", world.rho));
  const Grid& g = world.grid;
  for (const Species& s : species)
    arrays.push_back(nodeArrayOf<Vec3>("j." + s.name, g.ni, g.nj, g.nk,
                                       [&s](std::size_t q) { return currentDensityAt(s, q); }));
  for (const Species& s : species) arrays.push_back(nodeArray("vel." + s.name, s.vel));
  arrays.push_back(nodeArray("ef", world.ef));
  arrays.push_back(nodeArray("phi_m", world.phi_m));
  // Kept for readers of earlier files: a reference solution nothing computes.
  arrays.push_back(nodeArrayOf<double>("phi_m_theory", g.ni, g.nj, g.nk, [](std::size_t) { return 0.0; }));
  arrays.push_back(nodeArray("B", world.B));
  arrays.push_back(nodeArray("H", world.H));
  arrays.push_back(nodeArray("M", world.M));

  const std::string extent = "0 " + std::to_string(int64_t{g.ni} - 1) + " 0 " + std::to_string(int64_t{g.nj} - 1) +
                             " 0 " + std::to_string(int64_t{g.nk} - 1);
  const double origin[3] = {g.x0[0], g.x0[1], g.x0[2]}, spacing[3] = {g.dh[0], g.dh[1], g.dh[2]};
  const AppendedHead head = [&](std::span<const uint64_t> offsets) {
    std::string s = vtkFileOpening("ImageData", options.compress);
    s += "<ImageData WholeExtent=\"" + extent + "\" Origin=\"" + triple(origin) + "\" Spacing=\"" + triple(spacing) +
         "\">\n<Piece Extent=\"" + extent + "\">\n<PointData>\n";
    for (std::size_t n = 0; n < arrays.size(); ++n) s += appendedArrayElement(arrays[n], offsets[n]);
    return s + "</PointData>\n</Piece>\n</ImageData>\n";
  };
  return writeAppendedFile(os, head, arrays, options);
}

}  // namespace plasmabox
