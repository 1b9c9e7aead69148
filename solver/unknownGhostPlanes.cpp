#include "solver/unknownGhostPlanes.h"

#include <cstddef>

#include "mesh/ghostPlanes.h"

namespace plasmabox {

UnknownGhostPlanes::UnknownGhostPlanes(const Decomposition& part, const Grid& grid)
    : part_(part),
      ni_(grid.ni),
      nj_(grid.nj),
      nk_(grid.nk),
      first_owned_(grid.ownedBegin()),
      last_owned_(grid.ownedEnd() - 1) {
  if (part.distributed()) planes_ = Field(2 + (part.lower() >= 0) + (part.upper() >= 0), nj_, nk_);
}

void UnknownGhostPlanes::exchange(DenseVector& x) {
  if (!part_.distributed()) return;
  const bool below = part_.lower() >= 0, above = part_.upper() >= 0;
  // Buffer plane p stands for local plane local[p].
  const int local[4] = {below ? 0 : first_owned_, below ? first_owned_ : last_owned_,
                        below ? last_owned_ : ni_ - 1, ni_ - 1};
  const int first = below ? 1 : 0;  // the buffer's two owned planes: first, first + 1
  auto at = [&](int i, int j, int k) { return unknownIndex(i, j, k, ni_, nj_); };
  for (int p = first; p < first + 2; ++p)
    for (int j = 0; j < nj_; ++j)
      for (int k = 0; k < nk_; ++k) planes_(p, j, k) = x[at(local[p], j, k)];
  exchangeGhostPlanes(part_, planes_);
  const int ghost_planes[2] = {below ? 0 : -1, above ? planes_.ni - 1 : -1};
  for (int p : ghost_planes) {
    if (p < 0) continue;
    const int i = p == 0 ? 0 : ni_ - 1;
    for (int j = 0; j < nj_; ++j)
      for (int k = 0; k < nk_; ++k) x[at(i, j, k)] = planes_(p, j, k);
  }
}

}  // namespace plasmabox
