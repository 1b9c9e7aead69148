#pragma once

#include "mesh/Decomposition.h"
#include "mesh/Grid.h"
#include "mesh/NodeField.h"
#include "solver/vectorAlgebra.h"

namespace plasmabox {

// The ghost-plane exchange of a vector in unknown order (u = i + j*ni +
// k*ni*nj) on a slab of a distributed mesh. A plane of fixed i is strided
// there, so the border planes travel through a small node field holding only
// them: [ghost below] first owned, last owned [ghost above], the layout
// exchangeGhostPlanes expects of a slab. On one process it does nothing.
class UnknownGhostPlanes {
 public:
  UnknownGhostPlanes(const Decomposition& part, const Grid& grid);

  // Copies this process's first and last owned planes of x into the
  // neighbours' ghost planes of their x.
  void exchange(DenseVector& x);

 private:
  const Decomposition& part_;
  int ni_ = 0, nj_ = 0, nk_ = 0;
  int first_owned_ = 0, last_owned_ = 0;  // local planes
  Field planes_;
};

}  // namespace plasmabox
