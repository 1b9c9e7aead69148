#pragma once

#include <cstring>

namespace plasmabox {

// Two doubles side by side, one vector register (a GCC and Clang vector
// type). Trilinear gathers and scatters touch the two nodes of a cell edge
// along k, which are neighbours in memory: their x and y, or their two
// scalars, go through one vector multiply and add. Every lane is rounded as
// its scalar would be, so results are the same bits as scalar code.
using DoublePair = double __attribute__((vector_size(16)));

// The two doubles at p (no alignment needed).
inline DoublePair loadPair(const double* p) {
  DoublePair v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Stores v into the two doubles at p (no alignment needed).
inline void storePair(double* p, DoublePair v) { std::memcpy(p, &v, sizeof v); }

}  // namespace plasmabox
