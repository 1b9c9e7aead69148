#include "output/vtkImageBinary.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <memory>
#include <string>

namespace plasmabox {

namespace {

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
  VtkArray a{std::move(name), vtkTypeName<T>(), vtkComponents<T>(), NodeField<T>::nodeCount(ni, nj, nk), {}, plane};
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

// Runs of whole z-planes in VTK's order, from their values in the storage
// order of a field count planes thick, node_bytes each (an Int32, a Float64
// or three).
template <class T>
void transposeRun(uint64_t ni, uint64_t nj, int32_t count, const std::byte* in, std::byte* out) {
  const auto value = [in](std::size_t q) {
    T v;
    std::memcpy(&v, in + q * sizeof(T), sizeof(T));
    return v;
  };
  transposePlanes<T>(static_cast<int32_t>(ni), static_cast<int32_t>(nj), count, value, 0,
                     static_cast<std::size_t>(count), out);
}

// An array of nk z-planes of ni x nj nodes whose runs fill(k0, count, run)
// writes in the storage order of a field ni x nj x count (see Gatherer::zPlanes).
VtkArray byZPlaneRuns(const ImageArray& a, uint64_t ni, uint64_t nj, uint64_t nk,
                      std::function<void(int32_t k0, int32_t count, std::byte* run)> fill) {
  const uint64_t plane = ni * nj;
  auto scratch = std::make_shared<std::vector<std::byte>>();
  VtkArray v{a.name, a.type, a.components, plane * nk, {}, plane};
  v.fill = [=, node_bytes = a.node_bytes](uint64_t first, std::size_t tuples, std::byte* out) {
    // Blocks are whole multiples of block_multiple, one plane.
    const int32_t k0 = static_cast<int32_t>(first / plane), count = static_cast<int32_t>(tuples / plane);
    scratch->resize(tuples * node_bytes);
    fill(k0, count, scratch->data());
    if (node_bytes == sizeof(int32_t))
      transposeRun<int32_t>(ni, nj, count, scratch->data(), out);
    else if (node_bytes == sizeof(double))
      transposeRun<double>(ni, nj, count, scratch->data(), out);
    else
      transposeRun<Vec3>(ni, nj, count, scratch->data(), out);
  };
  return v;
}

std::string triple(const double v[3]) { return exactText(v[0]) + " " + exactText(v[1]) + " " + exactText(v[2]); }

bool writeImageData(std::ostream& os, const Grid& g, const ImageExtent& whole, const ImageExtent& piece,
                    std::span<const VtkArray> arrays, const AppendedOptions& options) {
  const double origin[3] = {g.x0[0], g.x0[1], g.x0[2]}, spacing[3] = {g.dh[0], g.dh[1], g.dh[2]};
  const AppendedHead head = [&](std::span<const uint64_t> offsets) {
    std::string s = vtkFileOpening("ImageData", options.compress);
    s += "<ImageData WholeExtent=\"" + extentText(whole) + "\" Origin=\"" + triple(origin) + "\" Spacing=\"" +
         triple(spacing) + "\">\n<Piece Extent=\"" + extentText(piece) + "\">\n<PointData>\n";
    for (std::size_t n = 0; n < arrays.size(); ++n) s += appendedArrayElement(arrays[n], offsets[n]);
    return s + "</PointData>\n</Piece>\n</ImageData>\n";
  };
  return writeAppendedFile(os, head, arrays, options);
}

}  // namespace

std::string extentText(const ImageExtent& e) {
  std::string s;
  for (int d = 0; d < 3; ++d) {
    if (d > 0) s += ' ';
    s.append(std::to_string(e.first[d])).append(" ").append(std::to_string(e.last[d]));
  }
  return s;
}

ImageExtent wholeExtent(const Grid& g) {
  return {{0, 0, 0}, {int64_t{g.gni} - 1, int64_t{g.nj} - 1, int64_t{g.nk} - 1}};
}

ImageExtent pieceExtent(const Grid& g) {
  ImageExtent e = wholeExtent(g);
  e.first[0] = int64_t{g.i0} + g.ownedBegin();
  e.last[0] = int64_t{g.i0} + g.ownedEnd() - (g.wallAbove() ? 1 : 0);
  return e;
}

bool writeVtkImageBinary(std::ostream& os, const World& world, const std::vector<Species>& species,
                         const AppendedOptions& options) {
  const Grid& g = world.grid;
  std::vector<VtkArray> arrays;
  forEachImageArray(world, species, [&](const std::string& name, auto value, bool stored) {
    using T = decltype(value(std::size_t{0}));
    arrays.push_back(nodeArrayOf<T>(name, g.ni, g.nj, g.nk, value, stored));
  });
  const ImageExtent whole{{0, 0, 0}, {int64_t{g.ni} - 1, int64_t{g.nj} - 1, int64_t{g.nk} - 1}};
  return writeImageData(os, g, whole, whole, arrays, options);
}

bool writeGatheredImageBinary(std::ostream& os, const Grid& g, std::span<const ImageArray> arrays,
                              const Gatherer& gather, AppendedOptions options) {
  std::vector<VtkArray> v;
  for (std::size_t n = 0; n < arrays.size(); ++n)
    v.push_back(byZPlaneRuns(arrays[n], static_cast<uint64_t>(g.gni), static_cast<uint64_t>(g.nj),
                             static_cast<uint64_t>(g.nk),
                             [&gather, &g, n, bytes = arrays[n].node_bytes](int32_t k0, int32_t count, std::byte* run) {
                               gather.zPlanes(n, k0, count, g.nj, bytes, run);
                             }));
  options.serial_fill = true;  // the gather talks to the other processes from this thread only
  return writeImageData(os, g, wholeExtent(g), wholeExtent(g), v, options);
}

bool writeImagePiece(std::ostream& os, const Grid& g, std::span<const ImageArray> arrays,
                     const std::vector<std::vector<std::byte>>& above, const AppendedOptions& options) {
  const ImageExtent piece = pieceExtent(g);
  const uint64_t ni = static_cast<uint64_t>(piece.last[0] - piece.first[0] + 1),
                 owned = static_cast<uint64_t>(g.ownedEnd() - g.ownedBegin());
  const std::size_t nj = static_cast<std::size_t>(g.nj), nk = static_cast<std::size_t>(g.nk);
  std::vector<VtkArray> v;
  for (std::size_t n = 0; n < arrays.size(); ++n) {
    const ImageArray& a = arrays[n];
    const std::vector<std::byte>* shared = n < above.size() && !above[n].empty() ? &above[n] : nullptr;
    v.push_back(byZPlaneRuns(
        a, ni, nj, static_cast<uint64_t>(nk), [&a, shared, owned, nj, nk](int32_t k0, int32_t count, std::byte* run) {
          a.z_planes(static_cast<uint64_t>(k0), static_cast<uint64_t>(count), run);
          if (!shared) return;
          // The shared plane comes last along i; along k its values are contiguous.
          const std::size_t bytes = static_cast<std::size_t>(count) * a.node_bytes;
          std::byte* at = run + owned * nj * bytes;
          for (std::size_t j = 0; j < nj; ++j, at += bytes)
            std::memcpy(at, shared->data() + (j * nk + static_cast<std::size_t>(k0)) * a.node_bytes, bytes);
        }));
  }
  return writeImageData(os, g, wholeExtent(g), piece, v, options);
}

}  // namespace plasmabox
