#pragma once

namespace plasmabox {

// A potential that changes linearly in time: v0 at time t0 (the first step),
// v1 at t1 (the last step), v0 before, v1 after. A held object's potential
// is a pure function of time, so a restarted run has nothing to restore.
struct VoltageRamp {
  double v0 = 0.0, v1 = 0.0;  // V
  double t0 = 0.0, t1 = 0.0;  // s
};

// V, the ramp's potential at time t (s). A ramp of no duration (t1 <= t0) is
// v0 until t1 and v1 from then on.
inline double voltageAt(const VoltageRamp& r, double t) {
  if (!(r.t1 > r.t0)) return t < r.t1 ? r.v0 : r.v1;
  if (t <= r.t0) return r.v0;
  if (t >= r.t1) return r.v1;
  return r.v0 + (r.v1 - r.v0) * ((t - r.t0) / (r.t1 - r.t0));
}

}  // namespace plasmabox
