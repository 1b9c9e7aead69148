#pragma once

#include <cstdint>

namespace plasmabox {

// Half-open range of indices [begin, end).
struct IndexRange {
  int64_t begin = 0;
  int64_t end = 0;
};

// The contiguous block of part `part` (0 .. parts-1) when total indices are
// divided into `parts` blocks the way OpenMP's static schedule without a chunk
// size divides them: the first total % parts blocks get one index more.
// Assumes parts >= 1 and 0 <= part < parts.
constexpr IndexRange staticBlock(int64_t total, int parts, int part) {
  const int64_t q = total / parts, r = total % parts;
  const int64_t begin = part * q + (part < r ? part : r);
  return {begin, begin + q + (part < r ? 1 : 0)};
}

}  // namespace plasmabox
