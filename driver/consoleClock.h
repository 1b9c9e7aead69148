#pragma once

#include <chrono>
#include <cstdint>
#include <sstream>
#include <string>

namespace plasmabox {

// Nanoseconds on the monotonic clock: what the console's timing lines measure.
inline int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// seconds with `digits` significant digits in the stream's default notation.
// Console numbers keep 6 digits until the first step line and the timing
// lines show 3 from then on, which is all a per-step timing needs; formatted
// here, so std::cout's own state never changes.
inline std::string secondsText(double seconds, int digits) {
  std::ostringstream text;
  text.precision(digits);
  text << seconds;
  return text.str();
}

}  // namespace plasmabox
