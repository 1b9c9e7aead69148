#include "mesh/World.h"

#include <chrono>

int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

World::World(int32_t ni_, int32_t nj_, int32_t nk_)
    : ni(ni_),
      nj(nj_),
      nk(nk_),
      nn{ni_, nj_, nk_},
      phi(ni_, nj_, nk_),
      rho(ni_, nj_, nk_),
      node_vol(ni_, nj_, nk_),
      j_total(ni_, nj_, nk_),
      ef(ni_, nj_, nk_),
      object_id(ni_, nj_, nk_),
      phi_m(ni_, nj_, nk_),
      B(ni_, nj_, nk_),
      H(ni_, nj_, nk_),
      M(ni_, nj_, nk_),
      phi_m_theory(ni_, nj_, nk_),
      wall_start(steadyNanoseconds()) {}

void World::setExtents(const Vec3& x0_, const Vec3& xm_) {
  x0 = x0_;
  xm = xm_;
  for (int d = 0; d < 3; ++d) dh[d] = (xm[d] - x0[d]) / (nn[d] - 1);
  for (int d = 0; d < 3; ++d) xc[d] = (x0[d] + xm[d]) / 2;
  computeNodeVolumes();
}

void World::computeNodeVolumes() {
  const double v = dh.x * dh.y * dh.z;
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j) {
      double* line = node_vol.line(i, j);
      for (int k = 0; k < nk; ++k) {
        double vol = v;
        if (i == 0 || i == ni - 1) vol *= 0.5;
        if (j == 0 || j == nj - 1) vol *= 0.5;
        if (k == 0 || k == nk - 1) vol *= 0.5;
        line[k] = vol;
      }
    }
}

double World::getWallTime() const {
  return static_cast<double>(steadyNanoseconds() - wall_start) / 1e9;
}
