#include "particles/BlockPool.h"

#include <limits>
#include <new>
#include <stdexcept>

#include "mesh/largePages.h"

namespace plasmabox {

uint32_t BlockPool::fresh() {
  if (made == std::numeric_limits<uint32_t>::max())
    throw std::length_error("particle list: more than 2^32 - 1 blocks of particles");
  if (made == capacity()) {
    // One large page per chunk: on a virtual machine first touching 512
    // small pages costs far more than filling them.
    void* p = std::aligned_alloc(CHUNK_BYTES, CHUNK_BYTES);
    if (p == nullptr) throw std::bad_alloc();
    adviseLargePages(p, CHUNK_BYTES);
    // Particle is an implicit-lifetime type: the storage holds particles once written.
    chunks.emplace_back(static_cast<Particle*>(p));
  }
  return made++;
}

}  // namespace plasmabox
