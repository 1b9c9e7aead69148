#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <span>
#include <vector>

#include "mesh/World.h"
#include "output/gatherPlanes.h"
#include "output/imageArrays.h"
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
// stream failed. The world holds the whole mesh (one process).
bool writeVtkImageBinary(std::ostream& os, const World& world, const std::vector<Species>& species,
                         const AppendedOptions& options);

// The same file from a distributed run, written by rank 0 inside
// gatherToRankZero: arrays are every process's imageArrays, and each z-plane
// of each array is gathered as it is written. The bytes are those
// writeVtkImageBinary writes for a whole mesh holding the same values.
bool writeGatheredImageBinary(std::ostream& os, const Grid& g, std::span<const ImageArray> arrays,
                              const Gatherer& gather, AppendedOptions options);

// A node range of an image: first and last global index per axis.
struct ImageExtent {
  int64_t first[3] = {0, 0, 0};
  int64_t last[3] = {0, 0, 0};
};

// "x0 x1 y0 y1 z0 z1", as VTK writes an extent.
std::string extentText(const ImageExtent& e);

// The whole mesh's extent, and the piece this process writes: its owned
// x-planes plus the first plane of the neighbour above (VTK pieces share
// their border points).
ImageExtent wholeExtent(const Grid& g);
ImageExtent pieceExtent(const Grid& g);

// Writes this process's piece of the image of a distributed run (any process,
// on its own): an ImageData file with the whole mesh's WholeExtent, one Piece
// of pieceExtent(g) and the arrays in binary. above[n] holds array n's values
// on the neighbour's first owned x-plane (storage order, j then k), empty at
// the box's upper wall.
bool writeImagePiece(std::ostream& os, const Grid& g, std::span<const ImageArray> arrays,
                     const std::vector<std::vector<std::byte>>& above, const AppendedOptions& options);

}  // namespace plasmabox
