#pragma once

// The readers print progress and skip reports on the standard streams; a fuzzer
// calls them millions of times, so their text goes nowhere instead of slowing
// every run down and burying the sanitizer reports.

#include <iostream>
#include <streambuf>

// A stream buffer that accepts and drops every character.
class DiscardBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Points std::cout and std::cerr at a discarding buffer for the rest of the
// process. The buffer is never destroyed: the standard streams are flushed
// after every static object is gone, at the very end of the process.
inline void silenceStandardStreams() {
  static DiscardBuffer* const discard = new DiscardBuffer;
  std::cout.rdbuf(discard);
  std::cerr.rdbuf(discard);
}
