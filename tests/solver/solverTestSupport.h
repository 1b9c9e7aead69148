#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "mesh/World.h"
#include "mesh/constants.h"
#include "solver/PotentialSolver.h"
#include "solver/SolverSettings.h"
#include "solver/SparseMatrix.h"

namespace plasmabox {

// A world of ni x nj x nk nodes from x0 with spacing h (m) per axis.
inline std::unique_ptr<World> makeWorld(int ni, int nj, int nk, Vec3 h = {1, 1, 1}, Vec3 x0 = {0, 0, 0}) {
  auto w = std::make_unique<World>(ni, nj, nk);
  w->grid.setExtents(x0, {x0.x + h.x * (ni - 1), x0.y + h.y * (nj - 1), x0.z + h.z * (nk - 1)});
  return w;
}

template <class F>
void eachNode(const World& w, F f) {
  for (int i = 0; i < w.grid.ni; ++i)
    for (int j = 0; j < w.grid.nj; ++j)
      for (int k = 0; k < w.grid.nk; ++k) f(i, j, k);
}

// Object plates 1 cm apart across the box at i = 1 (270 V) and i = ni - 2 (0 V).
inline std::unique_ptr<World> plateCapacitor(int ni, int nj, int nk) {
  auto w = makeWorld(ni, nj, nk, {0.01, 0.01, 0.01});
  eachNode(*w, [&](int i, int j, int k) {
    if (i == 1 || i == ni - 2) w->object_id(i, j, k) = 1, w->phi(i, j, k) = i == 1 ? 270.0 : 0.0;
  });
  return w;
}

// Ions at ne (1 + 0.3 cos(a i)) on n^3 nodes 2 mm apart, and unless plate < 0
// a plane of object nodes at k = plate holding plate_phi.
inline std::unique_ptr<World> ionWave(int n, double ne, double a, int plate = -1, double plate_phi = 0.0) {
  auto w = makeWorld(n, n, n, {0.002, 0.002, 0.002});
  eachNode(*w, [&](int i, int j, int k) {
    w->rho(i, j, k) = ne * QE * (1.0 + 0.3 * std::cos(a * i));
    if (k == plate) w->object_id(i, j, k) = 1, w->phi(i, j, k) = plate_phi;
  });
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
// A potential solver with its matrix built, as the program has it before the first step.
inline std::unique_ptr<PotentialSolver> potentialSolver(World& w, PotentialSettings settings, bool multigrid = false) {
  settings.multigrid = multigrid;
  auto s = std::make_unique<PotentialSolver>(w, settings);
  s->buildMatrix();
  return s;
}
inline RelaxationControl control(int32_t max_it, double tol) { return magnetostatic(max_it, tol).relaxation(); }

// A matrix row's used slots as (column, value), in slot order.
inline std::vector<std::pair<int, double>> slots(const MatrixRow& r) {
  std::vector<std::pair<int, double>> s;
  for (int v = 0; v < MatrixRow::nvals && r.col[v] >= 0; ++v) s.emplace_back(r.col[v], r.a[v]);
  return s;
}

// What a call printed on standard output and standard error, and the flag it returned.
struct Console {
  std::string out, err;
  bool ok = false;
  int outLines() const { return static_cast<int>(std::count(out.begin(), out.end(), '\n')); }
  std::string lastLine() const { return out.substr(out.rfind('\n', out.size() - 2) + 1); }  // newline kept
};

template <class F>
Console captureConsole(F&& f) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const bool ok = f();
  std::string out = testing::internal::GetCapturedStdout();
  return {out, testing::internal::GetCapturedStderr(), ok};
}

}  // namespace plasmabox
