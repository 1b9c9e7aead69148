#pragma once

#include <cstdint>
#include <vector>

#include "particles/ParticleBins.h"
#include "particles/ParticleBuffer.h"

namespace plasmabox {

// Where the particles of one species lie by tile (see TileGrid), kept from
// one step to the next: the list ranges the last sort left, and the scratch
// of the deposition and the sort, whose storage is reused so that a step
// allocates only when the particle count grows.
struct ParticleTiles {
  // After sortParticlesByCell: the particles of tile t sat at list positions
  // sorted_start[t] .. sorted_start[t + 1] - 1 (tiles.count() + 2 entries, as
  // ParticleBins::start). The list may have changed since (pushes, removals,
  // appends, replacement): the deposition treats a range as a claim and
  // checks it particle by particle. Empty before the first sort.
  std::vector<uint32_t> sorted_start;
  std::vector<uint32_t> claimed;                     // sorted_start limited to the present list
  std::vector<std::vector<uint32_t>> thread_movers;  // per thread: particles found outside their claimed tile
  std::vector<uint32_t> mover_end;                   // per colour and thread: end of its part of thread_movers
  std::vector<uint32_t> mover_dest;                  // per colour and thread: where that part goes in movers
  std::vector<uint32_t> movers;                      // all of them, in list order
  ParticleBins bins;                                 // the movers (deposition) or all particles (sort) by tile
  ParticleBins tail_bins;                            // the particles after the claimed ranges, by tile
  std::vector<uint32_t> mover_start;                 // per tile: where its movers start, both kinds together
  ParticleBuffer spare;                              // room for particles on their way (sort, deposition)
};

}  // namespace plasmabox
