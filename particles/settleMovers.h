#pragma once

#include "particles/Species.h"

namespace plasmabox {

// Brings the list in line with what the last push (pushParticles) found,
// touching only the particles in species.moves.movers: each is taken out of
// its bin, the bin's last particles filling the holes (from the last hole
// down, each takes the bin's last particle: a bin [P1 .. P5] whose P1 and P3
// left becomes [P4, P2, P5]); then, in list order, those the push deposited
// go to the end of their new tile's bin, then the other movers within this
// process, and those bound for another process to species.moves.outgoing.
// The removed ones (off the mesh, absorbed) are dropped. When the push began
// a deposition, species.moves.deposited then counts, per bin, the particles at
// its start that are in the sums. Serial; its cost follows the movers, not
// the list.
void settleMovers(Species& species);

}  // namespace plasmabox
