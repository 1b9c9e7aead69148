#pragma once

namespace plasmabox {

// A Gauss-Seidel sweep relaxes the positions of a line one after the other,
// each waiting on its predecessor's new value: one division's latency per
// position, with the processor idle meanwhile. When several consecutive lines
// do not depend on each other's positions except one line apart at the same
// position (the previous line's value at the same position is already final
// when it is read), they can be relaxed as a wavefront: at step s, line m
// relaxes position s - m. Every position then reads exactly the values it
// reads when the lines go one after the other, so the result is the same bit
// for bit, but the update chains of the lines overlap in the processor.

// Most lines one wavefront relaxes together.
inline constexpr int WAVEFRONT_LINES = 4;

// Calls visit(m, p) for the `count` lines m = 0 .. count-1 and positions
// p = 0 .. length-1 in wavefront order: step s visits line m at p = s - m.
template <class Visit>
inline void visitWavefront(int length, int count, Visit&& visit) {
  const int steps = length + count - 1;
  for (int s = 0; s < steps; ++s) {
    const int m_lo = s - (length - 1) > 0 ? s - (length - 1) : 0;
    const int m_hi = s < count - 1 ? s : count - 1;
    for (int m = m_lo; m <= m_hi; ++m) visit(m, s - m);
  }
}

}  // namespace plasmabox
