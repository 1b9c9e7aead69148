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
// memory; the formatting dominates the cost, not the stride. value(q) gives
// the value at storage index q.
template <class Value>
void writeRows(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const Value& value) {
  const std::size_t plane_stride = static_cast<std::size_t>(nk);
  const std::size_t i_stride = static_cast<std::size_t>(nj) * plane_stride;
  for (int k = 0; k < nk; ++k) {
    for (int j = 0; j < nj; ++j) {
      std::size_t q = static_cast<std::size_t>(j) * plane_stride + static_cast<std::size_t>(k);
      for (int i = 0; i < ni; ++i, q += i_stride) {
        putValue(w, value(q));
        w.put(' ');
      }
    }
    w.put('\n');
  }
}

// k_shift: the plane number written for the field's plane 0.
template <class Value>
void writeCsvLines(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const Value& value, int32_t k_shift = 0) {
  for (int k = 0; k < nk; ++k) {
    for (int j = 0; j < nj; ++j)
      for (int i = 0; i < ni; ++i) {
        w.number(int64_t{i});
        w.put(',');
        w.number(int64_t{j});
        w.put(',');
        w.number(int64_t{k} + k_shift);
        w.put(',');
        putValue(w, value((static_cast<std::size_t>(i) * static_cast<std::size_t>(nj) + static_cast<std::size_t>(j)) *
                              static_cast<std::size_t>(nk) +
                          static_cast<std::size_t>(k)));
        w.put('\n');
      }
    w.put('\n');
  }
}

template <class Value>
void writeLayout(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const Value& value, FieldLayout layout) {
  if (layout == FieldLayout::CSV_LINES)
    writeCsvLines(w, ni, nj, nk, value);
  else
    writeRows(w, ni, nj, nk, value);
}

template <class T>
void writeAny(BlockWriter& w, const NodeField<T>& f, FieldLayout layout) {
  if (!storageMatchesCounts(f)) return;
  const T* v = f.data.data();
  writeLayout(w, f.ni, f.nj, f.nk, [v](std::size_t q) { return v[q]; }, layout);
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

void writeValues(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const std::function<double(std::size_t)>& value,
                 FieldLayout layout) {
  writeLayout(w, ni, nj, nk, value, layout);
}
void writeValues(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const std::function<Vec3(std::size_t)>& value,
                 FieldLayout layout) {
  writeLayout(w, ni, nj, nk, value, layout);
}

void writeCsvPlanes(BlockWriter& w, const Field& planes, int32_t k0) {
  if (!storageMatchesCounts(planes)) return;
  const double* v = planes.data.data();
  writeCsvLines(w, planes.ni, planes.nj, planes.nk, [v](std::size_t q) { return v[q]; }, k0);
}

std::ostream& writeField(std::ostream& os, const Field& f, FieldLayout layout) { return streamAny(os, f, layout); }
std::ostream& writeField(std::ostream& os, const IntField& f, FieldLayout layout) {
  return streamAny(os, f, layout);
}
std::ostream& writeField(std::ostream& os, const VectorField& f, FieldLayout layout) {
  return streamAny(os, f, layout);
}

}  // namespace plasmabox
