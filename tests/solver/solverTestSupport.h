#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "mesh/World.h"

// A world of ni x nj x nk nodes from x0 with spacing h (m) per axis, run on two threads.
inline std::unique_ptr<World> makeWorld(int ni, int nj, int nk, Vec3 h = {1, 1, 1}, Vec3 x0 = {0, 0, 0}) {
  auto w = std::make_unique<World>(ni, nj, nk);
  w->num_threads = 2;
  w->setExtents(x0, {x0.x + h.x * (ni - 1), x0.y + h.y * (nj - 1), x0.z + h.z * (nk - 1)});
  return w;
}

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
