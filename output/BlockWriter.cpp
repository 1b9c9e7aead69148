#include "output/BlockWriter.h"

#include <algorithm>

namespace plasmabox {

BlockWriter::BlockWriter(std::ostream& os, std::size_t block_bytes)
    : os_(os),
      buf_(std::max<std::size_t>(block_bytes, 2 * MAX_NUMBER_CHARS)),
      pos_(buf_.data()),
      limit_(buf_.data() + buf_.size()) {}

void BlockWriter::text(std::string_view s) {
  if (static_cast<std::size_t>(limit_ - pos_) < s.size()) {
    flush();
    if (s.size() > buf_.size()) {  // too large to collect: pass it through
      os_.write(s.data(), static_cast<std::streamsize>(s.size()));
      return;
    }
  }
  pos_ = std::copy(s.begin(), s.end(), pos_);
}

void BlockWriter::flush() {
  if (pos_ != buf_.data()) os_.write(buf_.data(), pos_ - buf_.data());
  pos_ = buf_.data();
}

}  // namespace plasmabox
