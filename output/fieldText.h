#pragma once

#include <ostream>

#include "mesh/NodeField.h"
#include "output/BlockWriter.h"

// Text layouts of a node field, chosen by its csv_form flag.
//
// csv_form false (rows for a VTK DataArray): one line per k-plane; within it
// i runs fastest, then j; every value is followed by one blank (a vector by
// "x y z "), the line ends in that blank and a newline.
//
// csv_form true (density CSV): one line per node, "i,j,k,value" (a vector
// value as "x y z"), k outermost, then j, then i; after each k-plane one more
// newline, so an empty line separates the planes.
//
// Doubles are written as printf "%g", integers in plain decimal. A field whose
// storage does not match its counts writes nothing.

// Writes f into w in the layout its csv_form selects.
void writeField(BlockWriter& w, const Field& f);
void writeField(BlockWriter& w, const IntField& f);
void writeField(BlockWriter& w, const VectorField& f);

// The same layouts straight onto a stream; returns os.
std::ostream& operator<<(std::ostream& os, const Field& f);
std::ostream& operator<<(std::ostream& os, const IntField& f);
std::ostream& operator<<(std::ostream& os, const VectorField& f);
