#pragma once

#include "particles/Species.h"

namespace plasmabox {

// Puts the particles of species in cell order, stably: tile by tile (in the
// tile numbering of TileGrid), within a tile cell by cell (k fastest, as the
// fields are stored), and within a cell in their present list order; particles
// outside the mesh cells (never left by addParticle and advance) go last, in
// list order. Particles that are neighbours in the list then gather from and
// deposit to the same few cache lines. Runs on `threads` threads; the order
// does not depend on the team size. The list keeps its storage; the
// particles pass through room for as many that the species keeps from one
// sort to the next (species.tiles.spare).
void sortParticlesByCell(Species& species, int threads);

}  // namespace plasmabox
