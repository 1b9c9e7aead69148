#pragma once

#include <cstdint>
#include <vector>

#include "particles/Moments.h"
#include "particles/Particle.h"

namespace plasmabox {

// What the push found for a particle that it did not leave where it was.
enum class Fate : uint8_t {
  MOVED,            // now in another tile of this process (Mover::to)
  MOVED_DEPOSITED,  // the same, and the push has already deposited it
  LEFT_PROCESS,     // now in the cells of another process of a distributed run
  LEFT_MESH,        // left the mesh (or had no weight, or was off the cells before the push)
  ABSORBED,         // ended inside object Mover::object
};

// One such particle, where the push found it: bin and place in the list
// before the removal pass.
struct Mover {
  uint32_t bin = 0;
  uint32_t slot = 0;
  uint32_t to = 0;      // MOVED and MOVED_DEPOSITED: the tile it belongs in now
  int32_t object = -1;  // ABSORBED: index of the object
  Fate fate = Fate::MOVED;
};

// The hand-over between the push, the removal of the particles that left
// their tile (settleMovers), the exchange between processes and the
// deposition of one species, and the scratch they keep from step to step.
// Nothing here outlives a step except storage: it is no part of the state a
// checkpoint keeps.
struct ParticleMoves {
  // The last push's movers in list order, and their particles as the push
  // left them (position and velocity at the end of the step; an absorbed
  // particle's velocity is the one it hit the object with).
  std::vector<Mover> movers;
  std::vector<Particle> moving;
  // Particles bound for other processes, in list order: migrateParticles sends them.
  std::vector<Particle> outgoing;

  // A deposition begun by the push and finished by computeGasProperties:
  // open between the two, of `moments`, with deposited[bin] particles at the
  // start of each bin already in the sums.
  bool deposit_open = false;
  Moments moments = Moments::FULL;
  std::vector<uint32_t> deposited;

  // Scratch: per thread the movers it found, per colour and thread where its
  // part ends, per bin a running count.
  std::vector<std::vector<Mover>> found;
  std::vector<uint32_t> found_end;
  std::vector<uint32_t> start;
};

}  // namespace plasmabox
