#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>

#include "mesh/NodeField.h"
#include "output/BlockWriter.h"

namespace plasmabox {

// The two text layouts of a node field.
enum class FieldLayout {
  // Rows for a VTK DataArray: one line per k-plane; within it i runs fastest,
  // then j; every value is followed by one blank (a vector by "x y z "), the
  // line ends in that blank and a newline.
  VTK_ROWS,
  // Density CSV: one line per node, "i,j,k,value" (a vector value as
  // "x y z"), k outermost, then j, then i; after each k-plane one more
  // newline, so an empty line separates the planes.
  CSV_LINES,
};

// Writes f into w in the given layout. Doubles are written as printf "%g",
// integers in plain decimal. A field whose storage does not match its counts
// writes nothing.
void writeField(BlockWriter& w, const Field& f, FieldLayout layout);
void writeField(BlockWriter& w, const IntField& f, FieldLayout layout);
void writeField(BlockWriter& w, const VectorField& f, FieldLayout layout);

// The same for values that are computed instead of stored: value(q) is the
// value of node q in field storage order, for a field of ni x nj x nk nodes.
void writeValues(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const std::function<double(std::size_t)>& value,
                 FieldLayout layout);
void writeValues(BlockWriter& w, int32_t ni, int32_t nj, int32_t nk, const std::function<Vec3(std::size_t)>& value,
                 FieldLayout layout);

// The CSV lines of z-planes k0 .. k0 + planes.nk - 1 of a field, from a
// field that holds just those planes, each followed by its empty line: what
// writeField writes for those planes of the whole field.
void writeCsvPlanes(BlockWriter& w, const Field& planes, int32_t k0);

// The same straight onto a stream; returns os.
std::ostream& writeField(std::ostream& os, const Field& f, FieldLayout layout);
std::ostream& writeField(std::ostream& os, const IntField& f, FieldLayout layout);
std::ostream& writeField(std::ostream& os, const VectorField& f, FieldLayout layout);

}  // namespace plasmabox
