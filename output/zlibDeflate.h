#pragma once

#include <cstddef>
#include <memory>
#include <span>

struct z_stream_s;  // zlib's stream state, declared in <zlib.h>

namespace plasmabox {

// The one place that talks to zlib. Each call compresses one block into a
// complete, independent zlib stream (header, deflate data, Adler-32), which is
// what VTK's vtkZLibDataCompressor reads back block by block. The stream state
// (about 256 kB) is made once and reset per block, so compressing a long
// array of blocks allocates nothing.
class ZlibDeflate {
 public:
  // level: zlib's 1 (fastest) to 9 (smallest).
  explicit ZlibDeflate(int level);
  ~ZlibDeflate();
  ZlibDeflate(const ZlibDeflate&) = delete;
  ZlibDeflate& operator=(const ZlibDeflate&) = delete;

  // Largest compressed size of n input bytes: give compress() this much room.
  static std::size_t bound(std::size_t n);

  // Compresses in into out; returns the compressed size in bytes, or 0 when
  // zlib failed (out smaller than bound(in.size()), or no memory for the state).
  std::size_t compress(std::span<const std::byte> in, std::span<std::byte> out);

 private:
  std::unique_ptr<z_stream_s> stream_;
  bool ready_ = false;
};

}  // namespace plasmabox
