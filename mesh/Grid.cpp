#include "mesh/Grid.h"

namespace plasmabox {

Grid::Grid(int32_t ni_, int32_t nj_, int32_t nk_)
    : ni(ni_), nj(nj_), nk(nk_), nn{ni_, nj_, nk_}, gni(ni_), node_vol(ni_, nj_, nk_) {}

Grid::Grid(int32_t ni_, int32_t nj_, int32_t nk_, int32_t i0_, int32_t gni_)
    : ni(ni_), nj(nj_), nk(nk_), nn{ni_, nj_, nk_}, i0(i0_), gni(gni_), node_vol(ni_, nj_, nk_) {}

Grid Grid::lattice(int32_t ni, int32_t nj, int32_t nk, const Vec3& x0, const Vec3& xm) {
  Grid g;
  g.ni = g.nn[0] = g.gni = ni;
  g.nj = g.nn[1] = nj;
  g.nk = g.nn[2] = nk;
  g.setExtents(x0, xm);  // no node volumes to fill
  return g;
}

void Grid::setExtents(const Vec3& x0_, const Vec3& xm_) {
  x0 = x0_;
  xm = xm_;
  const int32_t whole[3] = {gni, nj, nk};
  for (int d = 0; d < 3; ++d) dh[d] = (xm[d] - x0[d]) / (whole[d] - 1);
  for (int d = 0; d < 3; ++d) inv_dh[d] = 1.0 / dh[d];
  for (int d = 0; d < 3; ++d) xc[d] = (x0[d] + xm[d]) / 2;
  computeNodeVolumes();
}

void Grid::computeNodeVolumes() {
  if (node_vol.size() == 0) return;
  const double v = dh.x * dh.y * dh.z;
  for (int i = 0; i < ni; ++i)
    for (int j = 0; j < nj; ++j) {
      double* line = node_vol.line(i, j);
      for (int k = 0; k < nk; ++k) {
        double vol = v;
        if (i0 + i == 0 || i0 + i == gni - 1) vol *= 0.5;
        if (j == 0 || j == nj - 1) vol *= 0.5;
        if (k == 0 || k == nk - 1) vol *= 0.5;
        line[k] = vol;
      }
    }
}

}  // namespace plasmabox
