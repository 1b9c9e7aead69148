#pragma once

#include <span>
#include <string>

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"
#include "output/imageArrays.h"
#include "output/vtkDataArrays.h"

namespace plasmabox {

// The image of a step written in pieces, one per process, that ParaView and
// VTK's readers join into one data set through an index file (.pvti). Every
// process writes its own piece side by side with the others: nothing of the
// mesh travels but one x-plane per array to the neighbour below.

// The index of an image named like the single file: "run/vti/00040.vti" gives
// "run/vti/00040.pvti".
std::string pieceIndexName(const std::string& vti_name);

// The file of piece p beside its index: "run/vti/00040.pvti" and 1 give
// "run/vti/00040.1.vti".
std::string pieceFileName(const std::string& index_name, int piece);

// The text of the index: a PImageData over the whole mesh of g with the
// origin and spacing written exactly, the point arrays with their types and
// component counts, and one Piece per process of part with its extent and
// its file (relative to the index's folder).
std::string pieceIndexText(const Grid& g, const Decomposition& part, std::span<const ImageArray> arrays,
                           const std::string& index_name);

// Collective: every process writes its piece (pieceFileName of index_name and
// its rank; see writeImagePiece), after receiving from the neighbour above
// the values of its first owned plane of every array; rank 0 writes the
// index. Failures are reported by the process that met them ("Could not open
// NAME", "Could not write NAME"). Returns, on every process, whether the
// index and every piece were written whole.
bool writeImagePieces(const Grid& g, const Decomposition& part, std::span<const ImageArray> arrays,
                      const std::string& index_name, const AppendedOptions& options);

}  // namespace plasmabox
