#pragma once

// The readers' progress text would slow the fuzzer and bury sanitizer reports.

#include <iostream>
#include <streambuf>

namespace plasmabox {

// A stream buffer that accepts and drops every character.
class DiscardBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Points std::cout and std::cerr at a discarding buffer for good; never destroyed,
// as the standard streams are flushed after every static object is gone.
inline void silenceStandardStreams() {
  static DiscardBuffer* const discard = new DiscardBuffer;
  std::cout.rdbuf(discard);
  std::cerr.rdbuf(discard);
}

}  // namespace plasmabox
