#pragma once

#include <cfloat>
#include <cmath>

namespace plasmabox {

// Float bounds rounded outwards from double ones, so that a box stored in
// floats (half the memory of doubles) still holds everything the double box
// held. Out-of-range values widen to the largest float or to infinity, NaN
// widens to the whole line, with no undefined conversion.

// Largest float not above x.
inline float floatBelow(double x) {
  if (!(x < static_cast<double>(FLT_MAX))) return x > 0 ? FLT_MAX : -INFINITY;  // NaN widens too
  if (x <= -static_cast<double>(FLT_MAX)) return -INFINITY;
  float f = static_cast<float>(x);
  if (static_cast<double>(f) > x) f = std::nextafter(f, -INFINITY);
  return f;
}

// Smallest float not below x.
inline float floatAbove(double x) {
  if (!(x > -static_cast<double>(FLT_MAX))) return x < 0 ? -FLT_MAX : INFINITY;
  if (x >= static_cast<double>(FLT_MAX)) return INFINITY;
  float f = static_cast<float>(x);
  if (static_cast<double>(f) < x) f = std::nextafter(f, INFINITY);
  return f;
}

}  // namespace plasmabox
