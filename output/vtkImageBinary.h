#pragma once

#include <cstddef>
#include <ostream>
#include <vector>

#include "mesh/World.h"
#include "output/vtkDataArrays.h"
#include "particles/Species.h"

namespace plasmabox {

// Writes the VTK ImageData file of one output step in VTK's own binary
// layout: one Piece over the whole mesh, the same point arrays in the same
// order, with the same names and types as the text file (object_id Int32,
// everything else Float64; j.NAME and vel.NAME per species), every value as
// the double in memory, in one raw appended block with 64-bit headers;
// options.compress: each array in zlib blocks. Points go in VTK's order, i fastest,
// then j, then k. Origin and Spacing are written exactly. os must be
// seekable when compressing (see writeAppendedFile). Returns false when the
// stream failed.
bool writeVtkImageBinary(std::ostream& os, const World& world, const std::vector<Species>& species,
                         const AppendedOptions& options);

}  // namespace plasmabox
