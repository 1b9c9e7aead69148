#pragma once

// Small meshes shared by the particle tests.

#include <iostream>
#include <sstream>
#include <string>

#include "mesh/World.h"

// A world of n^3 nodes over [lo, hi]^3 (m) with time step dt (s).
inline void setUpCube(World& w, double lo, double hi, double dt = 1e-9) {
  w.setExtents({lo, lo, lo}, {hi, hi, hi});
  w.dt = dt;
}

// Captures what std::cout receives while it lives.
class CoutCapture {
 public:
  CoutCapture() : old_(std::cout.rdbuf(text_.rdbuf())) {}
  ~CoutCapture() { std::cout.rdbuf(old_); }
  CoutCapture(const CoutCapture&) = delete;
  CoutCapture& operator=(const CoutCapture&) = delete;
  std::string str() const { return text_.str(); }

 private:
  std::ostringstream text_;
  std::streambuf* old_;
};
