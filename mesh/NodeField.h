#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "mesh/DoublePair.h"
#include "mesh/Vec3.h"
#include "mesh/largePages.h"

namespace plasmabox {

// A value per mesh node: the potential, densities, node volumes, object flags,
// electric and magnetic fields all live in one of the three instances below.
//
// Values sit in one contiguous block, k fastest, then j, then i, so a line
// (i, j, 0..nk-1) is contiguous and whole-field sweeps stream through memory.
// Counts never change after construction; operations that combine two fields
// assume equal counts and do not check them.
template <class T>
struct NodeField {
  int32_t ni = 0;
  int32_t nj = 0;
  int32_t nk = 0;
  std::vector<T> data;  // node (i, j, k) at (i * nj + j) * nk + k

  NodeField() = default;

  // Zero-filled field of ni x nj x nk nodes; a count of zero or less gives no nodes.
  NodeField(int32_t ni_, int32_t nj_, int32_t nk_) : ni(ni_), nj(nj_), nk(nk_) {
    assignLarge(data, nodeCount(ni_, nj_, nk_), T{});
  }

  // Throws std::bad_alloc when the storage would exceed the address space:
  // without that test the product wraps around (4194304^3 gives 0 nodes) and
  // every later index runs outside the storage.
  static std::size_t nodeCount(int32_t a, int32_t b, int32_t c) {
    if (a <= 0 || b <= 0 || c <= 0) return 0;
    const std::size_t ab = static_cast<std::size_t>(a) * static_cast<std::size_t>(b);  // below 2^62: no wrap
    if (ab > std::numeric_limits<std::size_t>::max() / sizeof(T) / static_cast<std::size_t>(c)) throw std::bad_alloc();
    return ab * static_cast<std::size_t>(c);
  }

  std::size_t size() const { return data.size(); }
  std::size_t index(int i, int j, int k) const {
    return (static_cast<std::size_t>(i) * static_cast<std::size_t>(nj) + static_cast<std::size_t>(j)) *
               static_cast<std::size_t>(nk) +
           static_cast<std::size_t>(k);
  }
  T& operator()(int i, int j, int k) { return data[index(i, j, k)]; }
  const T& operator()(int i, int j, int k) const { return data[index(i, j, k)]; }

  // Start of the contiguous line (i, j, 0..nk-1).
  T* line(int i, int j) { return data.data() + index(i, j, 0); }
  const T* line(int i, int j) const { return data.data() + index(i, j, 0); }

  // Sets every value (every component) to zero.
  void clear() {
    T* v = data.data();
    const std::size_t n = data.size();
    for (std::size_t q = 0; q < n; ++q) v[q] = T{};
  }

  NodeField& operator+=(const NodeField& o) {
    T* a = data.data();
    const T* b = o.data.data();
    const std::size_t n = data.size();
    for (std::size_t q = 0; q < n; ++q) a[q] += b[q];
    return *this;
  }
  NodeField& operator-=(const NodeField& o) {
    T* a = data.data();
    const T* b = o.data.data();
    const std::size_t n = data.size();
    for (std::size_t q = 0; q < n; ++q) a[q] -= b[q];
    return *this;
  }
};

using Field = NodeField<double>;        // one double per node
using IntField = NodeField<int32_t>;    // one signed 32-bit integer per node
using VectorField = NodeField<Vec3>;    // x, y, z interleaved per node

template <class T>
NodeField<T> operator+(const NodeField<T>& a, const NodeField<T>& b) {
  NodeField<T> r(a);
  r += b;
  return r;
}

template <class T>
NodeField<T> operator-(const NodeField<T>& a, const NodeField<T>& b) {
  NodeField<T> r(a);
  r -= b;
  return r;
}

template <class T>
NodeField<T> operator*(double s, const NodeField<T>& f) {
  NodeField<T> r(f.ni, f.nj, f.nk);
  T* out = r.data.data();
  const T* in = f.data.data();
  const std::size_t n = f.data.size();
  for (std::size_t q = 0; q < n; ++q) out[q] = s * in[q];
  return r;
}

// Trilinear weights of the cell that holds logical coordinate l: the lower
// corner node (i, j, k) is l truncated toward zero, w?[0] = 1 - fraction and
// w?[1] = fraction along each axis.
struct CellWeights {
  int i, j, k;
  double wx[2], wy[2];
  // Along k as a pair: the two nodes of a cell edge along k are neighbours in
  // memory, and the deposition updates them together.
  DoublePair wz;
};

// The same for the cell (i, j, k) already found from l (its truncation).
inline CellWeights cellWeights(const Vec3& l, int i, int j, int k) {
  CellWeights c;
  c.i = i;
  c.j = j;
  c.k = k;
  const double di = l.x - c.i;
  const double dj = l.y - c.j;
  const double dk = l.z - c.k;
  c.wx[0] = 1.0 - di;
  c.wx[1] = di;
  c.wy[0] = 1.0 - dj;
  c.wy[1] = dj;
  // {1 - dk, dk} formed as a pair: the same two values, and no pair read
  // back from two separate stores, which the processor cannot forward.
  c.wz = DoublePair{1.0, 0.0} - DoublePair{dk, -dk};
  return c;
}

inline CellWeights cellWeights(const Vec3& l) {
  return cellWeights(l, static_cast<int>(l.x), static_cast<int>(l.y), static_cast<int>(l.z));
}

// Field value at logical coordinate l (gatherAt: in the cell and with the
// weights cellWeights(l) gives), interpolated trilinearly from the eight corners of
// its cell: corner by corner (i, then j, then k), each component summing
// weight times value. The caller guarantees 0 <= l < n - 1 on every axis: no
// bounds are checked here because this runs once per particle per step. x
// and y go through vector pairs; each is rounded as alone.
inline Vec3 gatherAt(const VectorField& f, const CellWeights& c) {
  DoublePair xy = {0.0, 0.0};
  double z = 0.0;
  const double* const corner = &(f.data.data() + f.index(c.i, c.j, c.k))->x;
  const std::size_t line_step = 3 * static_cast<std::size_t>(f.nk), plane_step = static_cast<std::size_t>(f.nj) * line_step;
  const std::size_t offset[2][2] = {{0, line_step}, {plane_step, plane_step + line_step}};
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      const double* line = corner + offset[a][b];  // x, y, z of node k, then k + 1
      const double wab = c.wx[a] * c.wy[b];
      for (int e = 0; e < 2; ++e) {
        const double w = wab * c.wz[e];
        xy += DoublePair{w, w} * loadPair(line + 3 * e);
        z += w * line[3 * e + 2];
      }
    }
  return {xy[0], xy[1], z};
}

inline Vec3 gather(const VectorField& f, const Vec3& l) { return gatherAt(f, cellWeights(l)); }

// Adds value, shared trilinearly, to the eight corners of the cell holding l.
// Same preconditions as gather.
inline void scatter(Field& f, const Vec3& l, double value) {
  const CellWeights c = cellWeights(l);
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      double* line = f.data.data() + f.index(c.i + a, c.j + b, c.k);
      const double wab = c.wx[a] * c.wy[b];
      for (int e = 0; e < 2; ++e) line[e] += wab * c.wz[e] * value;
    }
}

inline void scatter(VectorField& f, const Vec3& l, const Vec3& value) {
  const CellWeights c = cellWeights(l);
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      Vec3* line = f.data.data() + f.index(c.i + a, c.j + b, c.k);
      const double wab = c.wx[a] * c.wy[b];
      for (int e = 0; e < 2; ++e) {
        const double w = wab * c.wz[e];
        line[e].x += w * value.x;
        line[e].y += w * value.y;
        line[e].z += w * value.z;
      }
    }
}

}  // namespace plasmabox
