#pragma once

#include <iosfwd>
#include <vector>

#include "tools/amf/converterOptions.h"
#include "tools/amf/writeAmf.h"

namespace plasmabox {

// Reads every input of `options`, scales it to metres (AMF unit attribute, or
// --scale for STL and with --ignore-amf-unit), merges coincident vertices,
// and prints per object the source, the unit applied and the report of
// describeMesh on `out`. Returns the objects in argument order. Throws
// std::runtime_error naming the file and the problem at the first bad input.
std::vector<NamedMesh> convertInputs(const ConverterOptions& options, std::ostream& out);

// The whole conversion: convertInputs, then the AMF file written to
// options.output_path (only when every input was read). Throws like
// convertInputs, or when the output cannot be written.
void runConversion(const ConverterOptions& options, std::ostream& out);

}  // namespace plasmabox
