#include "mesh/Grid.h"

namespace plasmabox {

Grid::Grid(int32_t ni_, int32_t nj_, int32_t nk_)
    : ni(ni_), nj(nj_), nk(nk_), nn{ni_, nj_, nk_}, node_vol(ni_, nj_, nk_) {}

void Grid::setExtents(const Vec3& x0_, const Vec3& xm_) {
  x0 = x0_;
  xm = xm_;
  for (int d = 0; d < 3; ++d) dh[d] = (xm[d] - x0[d]) / (nn[d] - 1);
  for (int d = 0; d < 3; ++d) xc[d] = (x0[d] + xm[d]) / 2;
  computeNodeVolumes();
}

void Grid::computeNodeVolumes() {
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

}  // namespace plasmabox
