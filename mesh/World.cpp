#include "mesh/World.h"

namespace plasmabox {

World::World(int32_t ni_, int32_t nj_, int32_t nk_) : World(wholeMesh(ni_), nj_, nk_) {}

World::World(const Decomposition& part_, int32_t nj_, int32_t nk_)
    : World(part_, part_.localCount(), nj_, nk_) {}

World::World(const Decomposition& part_, int32_t ni_, int32_t nj_, int32_t nk_)
    : part(part_),
      grid(ni_, nj_, nk_, part_.localBegin(), part_.first_plane.back()),
      phi(ni_, nj_, nk_),
      rho(ni_, nj_, nk_),
      j_total(ni_, nj_, nk_),
      ef(ni_, nj_, nk_),
      object_id(ni_, nj_, nk_),
      phi_m(ni_, nj_, nk_),
      B(ni_, nj_, nk_),
      H(ni_, nj_, nk_),
      M(ni_, nj_, nk_) {}

bool startNextStep(World& world) {
  world.time += world.dt;
  const int32_t previous = world.ts;
  world.ts = previous + 1;
  return previous < world.num_ts;
}

}  // namespace plasmabox
