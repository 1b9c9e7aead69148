#include "particles/settleMovers.h"

#include <cstddef>

namespace plasmabox {

void settleMovers(Species& species) {
  ParticleList& list = species.particles;
  ParticleMoves& mv = species.moves;
  const std::vector<Mover>& movers = mv.movers;
  // The movers of one bin are neighbours in the list of movers, by slot. From
  // the last one down, each hole takes the bin's last particle: every place
  // above the hole then holds a particle that stays.
  std::size_t q = movers.size();
  while (q > 0) {
    const uint32_t bin = movers[q - 1].bin;
    uint32_t n = list.counts[bin];
    for (; q > 0 && movers[q - 1].bin == bin; --q) {
      const uint32_t slot = movers[q - 1].slot;
      --n;
      if (slot != n) list.at(bin, slot) = list.at(bin, n);
    }
    list.truncate(bin, n);
  }
  // Every particle still in a bin stayed in its tile: the push deposited it.
  if (mv.deposit_open) mv.deposited.assign(list.counts.begin(), list.counts.end());
  for (std::size_t r = 0; r < movers.size(); ++r)
    if (movers[r].fate == Fate::MOVED_DEPOSITED) {
      list.appendTo(movers[r].to, mv.moving[r]);
      if (mv.deposit_open) ++mv.deposited[movers[r].to];
    }
  for (std::size_t r = 0; r < movers.size(); ++r) {
    if (movers[r].fate == Fate::MOVED) list.appendTo(movers[r].to, mv.moving[r]);
    if (movers[r].fate == Fate::LEFT_PROCESS) mv.outgoing.push_back(mv.moving[r]);
  }
}

}  // namespace plasmabox
