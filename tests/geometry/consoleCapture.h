#pragma once

// Records std::cout and std::cerr interleaved, each line tagged "out: " or "err: ".

#include <iostream>
#include <streambuf>
#include <string>

namespace plasmabox {

class LineTagBuffer : public std::streambuf {
 public:
  LineTagBuffer(std::string& sink, const char* tag) : sink_(sink), tag_(tag) {}

 protected:
  int overflow(int c) override {  // unbuffered: every character comes here
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    if (at_line_start_) sink_ += tag_;
    sink_.push_back(static_cast<char>(c));
    at_line_start_ = c == '\n';
    return c;
  }

 private:
  std::string& sink_;
  const char* tag_;
  bool at_line_start_ = true;
};

struct ConsoleCapture {
  std::string transcript;
  LineTagBuffer out{transcript, "out: "}, err{transcript, "err: "};
  std::streambuf* saved_out = std::cout.rdbuf(&out);
  std::streambuf* saved_err = std::cerr.rdbuf(&err);
  ConsoleCapture() = default;
  ConsoleCapture(const ConsoleCapture&) = delete;  // the buffers point into this object
  ~ConsoleCapture() { std::cout.rdbuf(saved_out), std::cerr.rdbuf(saved_err); }
};

}  // namespace plasmabox
