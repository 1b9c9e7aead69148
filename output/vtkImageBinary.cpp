#include "output/vtkImageBinary.h"

#include <cstring>
#include <string>

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

// The field in VTK's point order. Storage is k fastest, the file i fastest:
// each tuple is read with a stride of nj * nk nodes. Successive k-planes read
// neighbouring values of the same cache lines, so the caches absorb the
// stride for meshes whose plane of lines fits in them.
template <class T>
VtkArray nodeArray(std::string name, const NodeField<T>& f) {
  static_assert(sizeof(Vec3) == 3 * sizeof(double));
  VtkArray a{std::move(name), typeName<T>(), componentCount<T>(), NodeField<T>::nodeCount(f.ni, f.nj, f.nk), {}};
  a.fill = [&f, expected = a.tuples](uint64_t first, std::size_t count, std::byte* out) {
    if (f.data.size() != expected) {  // storage that does not match the counts: zeros, never a read past it
      std::memset(out, 0, count * sizeof(T));
      return;
    }
    const uint64_t ni = static_cast<uint64_t>(f.ni), nj = static_cast<uint64_t>(f.nj);
    const std::size_t stride = static_cast<std::size_t>(f.nj) * static_cast<std::size_t>(f.nk);
    uint64_t i = first % ni, row = first / ni;
    int j = static_cast<int>(row % nj), k = static_cast<int>(row / nj);
    for (std::size_t left = count; left > 0;) {
      const T* src = f.data.data() + f.index(0, j, k);
      for (; i < ni && left > 0; ++i, --left, out += sizeof(T)) std::memcpy(out, src + i * stride, sizeof(T));
      i = 0;
      if (++j == f.nj) j = 0, ++k;
    }
  };
  return a;
}

std::string triple(const double v[3]) { return exactText(v[0]) + " " + exactText(v[1]) + " " + exactText(v[2]); }

}  // namespace

bool writeVtkImageBinary(std::ostream& os, const World& world, const std::vector<Species>& species, bool compress,
                         std::size_t block_bytes) {
  std::vector<VtkArray> arrays;
  arrays.push_back(nodeArray("object_id", world.object_id));
  arrays.push_back(nodeArray("NodeVol", world.grid.node_vol));
  arrays.push_back(nodeArray("phi", world.phi));
  arrays.push_back(nodeArray("rho", world.rho));
  for (const Species& s : species) arrays.push_back(nodeArray("j." + s.name, s.j));
  for (const Species& s : species) arrays.push_back(nodeArray("vel." + s.name, s.vel));
  arrays.push_back(nodeArray("ef", world.ef));
  arrays.push_back(nodeArray("phi_m", world.phi_m));
  arrays.push_back(nodeArray("phi_m_theory", world.phi_m_theory));
  arrays.push_back(nodeArray("B", world.B));
  arrays.push_back(nodeArray("H", world.H));
  arrays.push_back(nodeArray("M", world.M));

  const Grid& g = world.grid;
  const std::string extent = "0 " + std::to_string(int64_t{g.ni} - 1) + " 0 " + std::to_string(int64_t{g.nj} - 1) +
                             " 0 " + std::to_string(int64_t{g.nk} - 1);
  const double origin[3] = {g.x0[0], g.x0[1], g.x0[2]}, spacing[3] = {g.dh[0], g.dh[1], g.dh[2]};
  const AppendedHead head = [&](std::span<const uint64_t> offsets) {
    std::string s = vtkFileOpening("ImageData", compress);
    s += "<ImageData WholeExtent=\"" + extent + "\" Origin=\"" + triple(origin) + "\" Spacing=\"" + triple(spacing) +
         "\">\n<Piece Extent=\"" + extent + "\">\n<PointData>\n";
    for (std::size_t n = 0; n < arrays.size(); ++n) s += appendedArrayElement(arrays[n], offsets[n]);
    return s + "</PointData>\n</Piece>\n</ImageData>\n";
  };
  return writeAppendedFile(os, head, arrays, compress, block_bytes);
}

}  // namespace plasmabox
