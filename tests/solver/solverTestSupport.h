#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "mesh/World.h"
#include "solver/SolverSettings.h"

namespace plasmabox {

// A world of ni x nj x nk nodes from x0 with spacing h (m) per axis.
inline std::unique_ptr<World> makeWorld(int ni, int nj, int nk, Vec3 h = {1, 1, 1}, Vec3 x0 = {0, 0, 0}) {
  auto w = std::make_unique<World>(ni, nj, nk);
  w->grid.setExtents(x0, {x0.x + h.x * (ni - 1), x0.y + h.y * (nj - 1), x0.z + h.z * (nk - 1)});
  return w;
}

// Solver settings as the program makes them, on two threads.
inline PotentialSettings potential(int32_t method, int32_t max_it, double tol, double phi0 = 0.0, double ne0 = 1e12,
                                   double kTe = 1.5) {
  PotentialSettings s;
  s.method = method, s.max_it = max_it, s.tol = tol, s.phi0 = phi0, s.ne0 = ne0, s.kTe = kTe, s.threads = 2;
  return s;
}
inline MagnetostaticSettings magnetostatic(int32_t max_it, double tol) {
  MagnetostaticSettings s;
  s.max_it = max_it, s.tol = tol, s.threads = 2;
  return s;
}
inline RelaxationControl control(int32_t max_it, double tol) { return magnetostatic(max_it, tol).relaxation(); }

// What a call printed on standard output and standard error.
struct Console {
  std::string out, err;
  int outLines() const { return static_cast<int>(std::count(out.begin(), out.end(), '\n')); }
};

template <class F>
Console captureConsole(F&& f) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  f();
  std::string out = testing::internal::GetCapturedStdout();
  return {out, testing::internal::GetCapturedStderr()};
}

}  // namespace plasmabox
