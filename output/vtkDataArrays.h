#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

#include "output/BlockWriter.h"
#include "output/xmlEscaped.h"

namespace plasmabox {

// One data array of a VTK XML file, described independently of how it is
// encoded: its name, element type and component count, how many tuples it
// has, and a producer that writes tuples [first, first + count) in file order
// (count * tupleBytes() bytes, native byte order) into out. The producer is
// called once per block of a few megabytes, so it may be a lambda that walks
// a field or a particle list.
struct VtkArray {
  std::string name;
  std::string_view type;  // "Float64", "Int32" or "Int64"
  int components = 1;
  uint64_t tuples = 0;
  std::function<void(uint64_t first, std::size_t count, std::byte* out)> fill;
  // Blocks are made a multiple of this many tuples when it is above 0: a
  // producer that transposes a field is fastest on whole planes.
  uint64_t block_multiple = 0;

  std::size_t tupleBytes() const;
};

// Shortest decimal text that reads back as exactly v ("0.001", "1e-11").
std::string exactText(double v);

// The opening VTKFile element of a file in the version 1.0 layout: 64-bit
// block headers (so that arrays past 4 GB can be written), the host's byte
// order, and the zlib compressor when compressed.
std::string vtkFileOpening(std::string_view type, bool compressed);

// <DataArray .../> element of an array stored in the appended block at offset
// (bytes after the '_' that starts the block), followed by a newline.
std::string appendedArrayElement(const VtkArray& a, uint64_t offset);

// Writes a as an inline text DataArray element (format="ascii"): integers in
// decimal, doubles as exactText, one tuple per line.
void writeAsciiArray(BlockWriter& w, const VtkArray& a);

// Builds the XML text from the start of a file up to (not including) its
// <AppendedData> element, given the offset of each array in the appended block.
using AppendedHead = std::function<std::string(std::span<const uint64_t> offsets)>;

// Block size used to write and compress appended arrays: about 4 MB, rounded
// down to whole tuples (or to a multiple of block_multiple, at least one).
inline constexpr std::size_t APPENDED_BLOCK_BYTES = std::size_t{1} << 22;

// Most blocks compressed at once: each thread holds two block buffers.
inline constexpr int MAX_COMPRESSION_THREADS = 16;

// How the appended block is written.
struct AppendedOptions {
  bool compress = false;  // zlib blocks
  int threads = 1;        // threads that compress blocks side by side (at most MAX_COMPRESSION_THREADS)
  std::size_t block_bytes = APPENDED_BLOCK_BYTES;  // for the tests; keep the default
  // Fill every block on the calling thread, one after the other, and only
  // compress on the team: for producers that exchange messages (a gather).
  bool serial_fill = false;
};

// Writes a whole VTK XML file whose arrays live in one raw appended block:
// head(offsets), then <AppendedData encoding="raw">, '_', each array in turn,
// and the closing elements. Uncompressed, each array is its byte count
// (UInt64) followed by its bytes. Compressed, each array is VTK's block
// header (number of blocks, block size, size of a last partial block or 0,
// the compressed size of every block; all UInt64) followed by the blocks,
// each compressed by zlib on its own. The compressed sizes are only known
// once written, so the block headers and the XML head are written as
// placeholders and filled in afterwards: os must be seekable (a file or a
// string stream). Blocks are compressed on options.threads threads, each
// on its own, so the file is the same for any thread count. Returns false
// when the stream reported an error (the caller reports it).
bool writeAppendedFile(std::ostream& os, const AppendedHead& head, std::span<const VtkArray> arrays,
                       const AppendedOptions& options);

}  // namespace plasmabox
