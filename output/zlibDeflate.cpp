#include "output/zlibDeflate.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace plasmabox {

ZlibDeflate::ZlibDeflate(int level) : stream_(std::make_unique<z_stream_s>()) {
  ready_ = deflateInit(stream_.get(), level) == Z_OK;
}

ZlibDeflate::~ZlibDeflate() {
  if (ready_) deflateEnd(stream_.get());
}

std::size_t ZlibDeflate::bound(std::size_t n) {
  // deflateBound takes a uLong, which is 64 bits on the platforms we build for;
  // the blocks we compress are a few megabytes at most.
  return static_cast<std::size_t>(compressBound(static_cast<uLong>(n)));
}

std::size_t ZlibDeflate::compress(std::span<const std::byte> in, std::span<std::byte> out) {
  constexpr std::size_t MAX_CHUNK = std::numeric_limits<uInt>::max();  // zlib counts in 32 bits
  if (!ready_ || in.size() > MAX_CHUNK || out.size() < bound(in.size())) return 0;
  if (deflateReset(stream_.get()) != Z_OK) return 0;
  // zlib's interface is not const-correct; it only reads next_in.
  stream_->next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(in.data()));
  stream_->avail_in = static_cast<uInt>(in.size());
  stream_->next_out = reinterpret_cast<Bytef*>(out.data());
  stream_->avail_out = static_cast<uInt>(std::min(out.size(), MAX_CHUNK));
  if (deflate(stream_.get(), Z_FINISH) != Z_STREAM_END) return 0;
  return static_cast<std::size_t>(stream_->total_out);
}

}  // namespace plasmabox
