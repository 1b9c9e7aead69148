#include "output/imagePieces.h"

#include <mpi.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "mesh/processReduction.h"
#include "output/outputFile.h"
#include "output/vtkImageBinary.h"
#include "output/xmlEscaped.h"

namespace plasmabox {

namespace {

constexpr int SHARED_PLANE = 31;  // message tag

// Per array, the neighbour above's first owned x-plane (empty at the upper wall).
std::vector<std::vector<std::byte>> planesFromAbove(const Grid& g, const Decomposition& part,
                                                    std::span<const ImageArray> arrays) {
  std::vector<std::vector<std::byte>> above(arrays.size());
  if (!part.distributed()) return above;
  const std::size_t nodes = static_cast<std::size_t>(g.nj) * static_cast<std::size_t>(g.nk);
  std::vector<std::byte> mine;
  for (std::size_t n = 0; n < arrays.size(); ++n) {
    const std::size_t bytes = nodes * arrays[n].node_bytes;
    if (bytes > static_cast<std::size_t>(INT_MAX)) throw std::runtime_error("a plane of the mesh is too large to send");
    mine.resize(bytes);
    arrays[n].x_plane(g.ownedBegin(), mine.data());
    if (part.upper() >= 0) above[n].resize(bytes);
    MPI_Sendrecv(mine.data(), part.lower() >= 0 ? static_cast<int>(bytes) : 0, MPI_BYTE,
                 part.lower() >= 0 ? part.lower() : MPI_PROC_NULL, SHARED_PLANE, above[n].data(),
                 part.upper() >= 0 ? static_cast<int>(bytes) : 0, MPI_BYTE,
                 part.upper() >= 0 ? part.upper() : MPI_PROC_NULL, SHARED_PLANE, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  }
  return above;
}

// Writes text to path; reports and returns false on failure.
bool writeText(const std::string& path, const std::string& text) {
  std::ofstream f;
  openOutputFile(f, path);
  if (!f.is_open()) {
    reportCannotOpen(path);
    return false;
  }
  f << text;
  return closeAndCheck(f, path);
}

}  // namespace

std::string pieceIndexName(const std::string& vti_name) {
  return std::filesystem::path(vti_name).replace_extension(".pvti").string();
}

std::string pieceFileName(const std::string& index_name, int piece) {
  std::string extension = std::to_string(piece);
  extension.insert(0, 1, '.').append(".vti");
  return std::filesystem::path(index_name).replace_extension(extension).string();
}

std::string pieceIndexText(const Grid& g, const Decomposition& part, std::span<const ImageArray> arrays,
                           const std::string& index_name) {
  std::string s = vtkFileOpening("PImageData", false);
  const auto triple = [](const Vec3& v) { return exactText(v.x) + " " + exactText(v.y) + " " + exactText(v.z); };
  s += "<PImageData WholeExtent=\"" + extentText(wholeExtent(g)) + "\" GhostLevel=\"0\" Origin=\"" + triple(g.x0) +
       "\" Spacing=\"" + triple(g.dh) + "\">\n<PPointData>\n";
  for (const ImageArray& a : arrays)
    s += "<PDataArray type=\"" + std::string(a.type) + "\" Name=\"" + xmlEscaped(a.name) + "\" NumberOfComponents=\"" +
         std::to_string(a.components) + "\"/>\n";
  s += "</PPointData>\n";
  for (int r = 0; r < part.size; ++r) {
    // The extent of process r's piece, as pieceExtent gives it there.
    ImageExtent e = wholeExtent(g);
    e.first[0] = part.first_plane[static_cast<std::size_t>(r)];
    e.last[0] = part.first_plane[static_cast<std::size_t>(r) + 1] - (r + 1 < part.size ? 0 : 1);
    s += "<Piece Extent=\"" + extentText(e) + "\" Source=\"" +
         xmlEscaped(std::filesystem::path(pieceFileName(index_name, r)).filename().string()) + "\"/>\n";
  }
  return s + "</PImageData>\n</VTKFile>\n";
}

bool writeImagePieces(const Grid& g, const Decomposition& part, std::span<const ImageArray> arrays,
                      const std::string& index_name, const AppendedOptions& options) {
  const std::vector<std::vector<std::byte>> above = planesFromAbove(g, part, arrays);
  const std::string name = pieceFileName(index_name, part.rank);
  bool whole = false;
  std::ofstream f;
  openOutputFile(f, name);
  if (f.is_open()) {
    writeImagePiece(f, g, arrays, above, options);
    whole = closeAndCheck(f, name);
  } else {
    reportCannotOpen(name);
  }
  if (part.rank == 0) whole = writeText(index_name, pieceIndexText(g, part, arrays, index_name)) && whole;
  return !anyProcess(part, !whole);
}

}  // namespace plasmabox
