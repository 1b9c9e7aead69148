#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

namespace plasmabox {

// Longest text of one number: "-1.23457e-308" is 13 characters, a 64-bit
// integer at most 20; 32 leaves room.
inline constexpr std::ptrdiff_t MAX_NUMBER_CHARS = 32;

// Writes v at out as printf "%g" does (6 significant digits, fixed notation for
// decimal exponents -4 to 5, exponent notation with at least two exponent
// digits otherwise, trailing zeros dropped; "inf", "-inf", "nan", "-nan").
// Needs MAX_NUMBER_CHARS of room; returns the end of the text. Locale-free.
char* formatNumber(char* out, double v);

// Writes v in plain decimal; same room and result as formatNumber.
inline char* formatNumber(char* out, int64_t v) {
  return std::to_chars(out, out + MAX_NUMBER_CHARS, v).ptr;
}

// Collects text in a large block and hands it to an output stream one block at
// a time: formatting a whole mesh node by node through the stream costs a
// locale lookup and a virtual call per number, this costs neither. The stream
// sees nothing until the block fills or flush() is called; the destructor
// flushes. Stream errors are left in the stream's state for the caller.
class BlockWriter {
 public:
  static constexpr std::size_t DEFAULT_BLOCK = std::size_t{1} << 20;  // bytes

  explicit BlockWriter(std::ostream& os, std::size_t block_bytes = DEFAULT_BLOCK);
  ~BlockWriter() { flush(); }
  BlockWriter(const BlockWriter&) = delete;
  BlockWriter& operator=(const BlockWriter&) = delete;

  void text(std::string_view s);
  void put(char c) {
    if (pos_ == limit_) flush();
    *pos_++ = c;
  }
  void number(double v) {
    if (limit_ - pos_ < MAX_NUMBER_CHARS) flush();
    pos_ = formatNumber(pos_, v);
  }
  // Shortest text that reads back as exactly v (std::to_chars), for files
  // that keep full precision.
  void exactNumber(double v) {
    if (limit_ - pos_ < MAX_NUMBER_CHARS) flush();
    pos_ = std::to_chars(pos_, limit_, v).ptr;
  }
  void number(int64_t v) {
    if (limit_ - pos_ < MAX_NUMBER_CHARS) flush();
    pos_ = formatNumber(pos_, v);
  }
  // Hands everything collected so far to the stream (no stream flush).
  void flush();
  std::ostream& stream() { return os_; }

 private:
  std::ostream& os_;
  std::vector<char> buf_;
  char* pos_;
  char* limit_;
};

}  // namespace plasmabox
