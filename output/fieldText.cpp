#include "output/fieldText.h"

#include <algorithm>
#include <cstdint>

namespace plasmabox {

namespace {

// One node's value in either layout. VTK rows end every component in a blank;
// CSV separates the components of a vector by blanks and ends the line.
void putValue(BlockWriter& w, double v) { w.number(v); }
void putValue(BlockWriter& w, int32_t v) { w.number(static_cast<int64_t>(v)); }
void putValue(BlockWriter& w, const Vec3& v) {
  w.number(v.x);
  w.put(' ');
  w.number(v.y);
  w.put(' ');
  w.number(v.z);
}

template <class T>
bool storageMatchesCounts(const NodeField<T>& f) {
  return f.data.size() == NodeField<T>::nodeCount(f.ni, f.nj, f.nk);
}

// Storage is k fastest, the text i fastest: walk k-planes, striding through
// memory; the formatting dominates the cost, not the stride.
template <class T>
void writeRows(BlockWriter& w, const NodeField<T>& f) {
  const std::size_t plane_stride = static_cast<std::size_t>(f.nk);
  const std::size_t i_stride = static_cast<std::size_t>(f.nj) * plane_stride;
  const T* base = f.data.data();
  for (int k = 0; k < f.nk; ++k) {
    for (int j = 0; j < f.nj; ++j) {
      const T* v = base + static_cast<std::size_t>(j) * plane_stride + static_cast<std::size_t>(k);
      for (int i = 0; i < f.ni; ++i, v += i_stride) {
        putValue(w, *v);
        w.put(' ');
      }
    }
    w.put('\n');
  }
}

template <class T>
void writeCsvLines(BlockWriter& w, const NodeField<T>& f) {
  for (int k = 0; k < f.nk; ++k) {
    for (int j = 0; j < f.nj; ++j)
      for (int i = 0; i < f.ni; ++i) {
        w.number(int64_t{i});
        w.put(',');
        w.number(int64_t{j});
        w.put(',');
        w.number(int64_t{k});
        w.put(',');
        putValue(w, f(i, j, k));
        w.put('\n');
      }
    w.put('\n');
  }
}

template <class T>
void writeAny(BlockWriter& w, const NodeField<T>& f, FieldLayout layout) {
  if (!storageMatchesCounts(f)) return;
  if (layout == FieldLayout::CSV_LINES)
    writeCsvLines(w, f);
  else
    writeRows(w, f);
}

template <class T>
std::ostream& streamAny(std::ostream& os, const NodeField<T>& f, FieldLayout layout) {
  // A block no larger than the text can get (at most about 80 characters a node).
  BlockWriter w(os, std::min(BlockWriter::DEFAULT_BLOCK, f.data.size() * 80 + 256));
  writeAny(w, f, layout);
  return os;  // w hands its block to os on leaving
}

}  // namespace

void writeField(BlockWriter& w, const Field& f, FieldLayout layout) { writeAny(w, f, layout); }
void writeField(BlockWriter& w, const IntField& f, FieldLayout layout) { writeAny(w, f, layout); }
void writeField(BlockWriter& w, const VectorField& f, FieldLayout layout) { writeAny(w, f, layout); }

std::ostream& writeField(std::ostream& os, const Field& f, FieldLayout layout) { return streamAny(os, f, layout); }
std::ostream& writeField(std::ostream& os, const IntField& f, FieldLayout layout) {
  return streamAny(os, f, layout);
}
std::ostream& writeField(std::ostream& os, const VectorField& f, FieldLayout layout) {
  return streamAny(os, f, layout);
}

}  // namespace plasmabox
